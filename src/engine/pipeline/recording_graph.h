#pragma once

#include <gst/gst.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "engine/pipeline/frame_consumer.h"
#include "engine/pipeline/gst_handles.h"
#include "engine/recording_properties.h"

class COverlayFilter;
class CMetadataInterface;

// One recording file's pipeline:
//
//   filesrc "File Source Filter" ! avidemux "QMX AVI Splitter"
//   per channel with video:
//     ! queue ! qmxoverlay role 0 "Metadata N" ! jpegdec "MJPEG Decompressor N"
//     ! videoconvert ! BGRx ! qmxoverlay role 1 "Overlay N" ! appsink "Video N"
//   per channel with video and audio:
//     ! queue ! <decoder> "ACM N" ! audioconvert ! S16LE
//     ! qmxoverlay role 2 "Audio Transform N" ! volume ! <audio sink> "Audio N"
//   the metadata stream:
//     ! queue ! qmxoverlay role 3 "Multi Meta Filter" ! fakesink "NULL Renderer"
//
// Built and destroyed on the window thread; the streaming threads call the
// frame consumer and the end-of-stream callback.
struct RecordingGraph {
  RecordingGraph() = default;
  ~RecordingGraph();
  RecordingGraph(const RecordingGraph&) = delete;
  RecordingGraph& operator=(const RecordingGraph&) = delete;

  std::string path;
  std::array<bool, 4> videoPresent{};
  std::array<int, 4> width{-1, -1, -1, -1};
  std::array<int, 4> height{-1, -1, -1, -1};
  std::array<bool, 4> audioPresent{};
  int dvrKind = 0;
  int channelCount = 0;
  bool graphReady = false;
  int64_t duration = 0;      // hundredths of a second
  int64_t startOffset = 0;   // where the file starts on the sequence timeline, hundredths
  int videoStreamCount = 0;  // video streams in the file

  gsth::Element pipeline;
  GstElement* demuxer = nullptr;           // borrowed from the pipeline; seeks go to it
  std::array<GstElement*, 4> extractor{};  // borrowed from the pipeline
  std::array<GstElement*, 4> overlay{};
  std::array<GstElement*, 4> audioTransform{};
  std::array<GstElement*, 4> volume{};
  GstElement* multiExtractor = nullptr;

  // The overlay logic behind an element, or null (no element, or the
  // element is not ours).
  COverlayFilter* OverlayOf(GstElement* e) const;

  // Where frames go; null while the graph is not the one shown.
  void SetConsumer(FrameConsumer* consumer);
  // Called once per end of stream, on a streaming thread.
  std::function<void()> onEndOfStream;
  bool AtEnd() const { return ended_.load(); }
  bool HasError() const { return errored_.load(); }

  // Internal to the graph code: sink callbacks and bus state.
  struct SinkState {
    RecordingGraph* graph = nullptr;
    int channel = 0;
    std::atomic<int64_t> prerollPts{-1};  // pts of a preroll frame already handed on, -1 none
  };
  std::array<SinkState, 4> sinkState;
  std::atomic<FrameConsumer*> consumer{nullptr};
  std::atomic<bool> ended_{false};
  std::atomic<bool> errored_{false};
};

// Builds the pipeline of `path` and prerolls it at position 0 (paused, the
// first frames handed to no one). Returns a GraphResult code; on failure the
// graph holds whatever was built and is torn down by its destructor.
// `listener` (may be null) receives every channel's decoded metadata texts.
// The file's configuration texts and the per-channel format, audio and
// bit-rate texts go into `props`.
int BuildRecordingGraph(RecordingGraph& graph, const std::string& path, RecordingProperties& props,
                        CMetadataInterface* listener);

// Writes the pipeline as Graphviz "QMXgraph.dot" into the temporary folder
// when the process was started with the word "exportfiltergraph" after the
// program name. Used by the builder; exposed for the command line.
void SetExportFilterGraph(bool on);
