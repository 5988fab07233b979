#pragma once

// Exporting a range of chosen cameras as a video anyone can play: H.264 in
// MP4 (index at the front), the overlay's texts of each frame and a caption
// line burned in, sound of one camera as AAC (Opus where no AAC encoder is
// installed).
//
// Frames are found by the clip extraction's walk over the index, so frame k
// of the export is frame k of the range exactly as an extracted clip has it:
// every frame once, in order, stamped at the source frame rate. Each picture
// goes through the same overlay logic the player's window draws with
// (deinterlacing, time/position/motion/trigger lines, text lines of
// two-channel recordings).
//
// The output is written under a temporary name beside it and renamed when
// complete; on failure or cancel nothing is left. Runs on the caller's
// thread (never the window thread); needs the process's glyph fonts.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "clip/clip_extraction.h"
#include "export/export_plan.h"
#include "export/redaction.h"
#include "metadata/dvr_layout.h"

namespace video_export {

struct VideoExportRequest {
  std::vector<clip::ClipSourceFile> files;  // the timeline, in order
  int64_t startCentis = -1;
  int64_t endCentis = -1;
  std::array<bool, 4> cameras{};
  ExportLayout layout = ExportLayout::kQuad;
  int audioCamera = -1;                         // 0..3: whose sound; -1 none
  DvrLayout dvrKind = DvrLayout::kFourChannel;  // as the overlays are told it
  bool fastDeinterlace = true;                  // the window's default; false: the adaptive one
  std::string recordingName;                    // for the caption
  std::array<std::string, 4> cameraNames{"Camera 1", "Camera 2", "Camera 3", "Camera 4"};
  std::string destination;  // OUT.mp4
  // x264's speed preset and its constant-quality factor (as x264's crf).
  std::string speedPreset = "veryfast";
  int quality = 21;
  // Drawn over the chosen cameras' pictures (under the overlay's texts);
  // an export with any shape says so in its caption and title, naming the
  // list and its SHA-256.
  redaction::RedactionList redactions;
  std::string redactionListName;    // the list file's name, or how the window names it
  std::string redactionListSha256;  // of the list file as saved
};

enum class VideoExportStatus {
  kDone,
  kBadInput,     // nothing to export: no camera, an empty range, no file covers it
  kReadFailed,   // a source could not be read
  kWriteFailed,  // the output could not be written, or the encoder failed
  kCancelled,
};

struct VideoExportOutcome {
  VideoExportStatus status = VideoExportStatus::kBadInput;
  std::string reason;  // one line for the user; empty when done
  int64_t frames = 0;  // frames written
  int width = 0, height = 0;
  std::string audioEncoder;  // the element used, "" without sound
};

// Called from the exporting thread: progress 0..1.
using VideoExportProgress = std::function<void(double fraction)>;

VideoExportOutcome ExportVideo(const VideoExportRequest& request, const std::atomic<bool>& cancel,
                               const VideoExportProgress& progress = {});

// "Redacted by NAME (SHA-256 HEX)": the statement of a redacted export, in
// its caption (the hash cut to `hashDigits`, then "...") and in full in the
// file's comment.
std::string RedactionStatement(const VideoExportRequest& request, std::size_t hashDigits = 64);

// The AAC encoder installed (avenc_aac, voaacenc, fdkaacenc, first found),
// else "opusenc" when installed, else "".
std::string AvailableAudioEncoder();

}  // namespace video_export
