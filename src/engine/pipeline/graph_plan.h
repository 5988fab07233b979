#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "avi/avi_format.h"
#include "engine/recording_layout.h"

// What a recording file's pipeline will hold, decided from the file's stream
// list alone: which branch each demuxer pad feeds, for which channel, and
// with which decoders. Plain C++, so every layout can be tried without a
// pipeline.

// One stream of the file as its headers describe it.
struct PlannedStream {
  avi::FourCC type = 0;     // strh fccType
  std::string name;         // strn text, "" when the file names none
  uint64_t chunkCount = 0;  // chunks the index lists
  bool hasFormat = true;    // has a 'strf' chunk
  bool h264 = false;        // video: H264 by handler or compression
  int audioFormatTag = -1;  // audio: WAVEFORMATEX wFormatTag, -1 unknown
};

enum class BranchKind { kVideo, kAudio, kMetadata };

struct BranchPlan {
  BranchKind kind = BranchKind::kVideo;
  int channel = 0;             // 0..3; 0 for the metadata stream
  int streamIndex = -1;        // in the file
  std::string padName;         // the demuxer pad that feeds the branch
  std::string decoder;         // element factory: the JPEG decoder or the audio decoder
  bool convertToBgrx = false;  // the video decoder needs a colour conversion after it
};

struct GraphPlan {
  int result = 0;  // a GraphResult code; 0 when the graph can be built
  DvrLayout layout = DvrLayout::kFourChannel;
  int videoStreamCount = 0;
  std::vector<BranchPlan> branches;  // video first, then the metadata stream, then audio
};

// Whether an element factory of that name is installed.
using FactoryProbe = std::function<bool(const std::string& factory)>;

// Plans the branches of a file. `headerLayout` comes from the file's first
// bytes; a file with a third stream is a four-channel recording whatever they
// say. A pad is taken for a branch only when its stream header says it
// carries that kind of data: the name rules pick the channel, and streams the
// file leaves unnamed are placed by their order (each video stream the next
// channel, an audio stream with the video before it).
//
// Results: 7 when a video stream is H264, 5 when no JPEG decoder is
// installed (only asked when there is video). An audio stream whose decoder
// is missing or unknown gets no branch: that channel plays without sound.
GraphPlan PlanRecordingGraph(const std::vector<PlannedStream>& streams, DvrLayout headerLayout,
                             const FactoryProbe& installed);

// The element that turns an audio format into raw samples; "" for formats
// the player does not play.
std::string AudioDecoderFor(int formatTag);
