#include "clip/clip_extraction.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "avi/avi_length.h"
#include "avi/output_guard.h"
#include "clip/camera_segment_copy.h"
#include "clip/dvr_settings_block.h"
#include "clip/extraction_plan.h"
#include "clip/private_temp_folder.h"
#include "clip/remove_unless_kept.h"
#include "clip/segment_mux.h"
#include "engine/numbered_run.h"

namespace clip {
namespace {

constexpr const char* kCannotOverwrite =
    "Unable to mux the videos to the destination file.\nReason: A file already exists in the location with "
    "that "
    "file name, and it can't be overwritten.";
constexpr const char* kCannotMux = "Unable to mux the videos to the destination file.";
constexpr const char* kRanOut = "The recording ends before the end of the marked range.";
constexpr const char* kCancelled = "Extraction Cancelled";
constexpr const char* kReadFailed =
    "Unable to open source file for read. It could be that the file is locked at that location or you do not "
    "have permission to read from this volume.";

ExtractOutcome Failed(ExtractOutcome out, ExtractStatus status, std::string message, std::string detail) {
  out.status = status;
  out.message = std::move(message);
  out.detail = std::move(detail);
  return out;
}

ExtractOutcome FromCopy(ExtractOutcome out, const CopyResult& copy) {
  switch (copy.end) {
    case CopyEnd::kReachedEnd:
      break;
    case CopyEnd::kRanOut:
      return Failed(std::move(out), ExtractStatus::ReadFailed, kRanOut,
                    "the recording ends before the range does");
    case CopyEnd::kSourceError:
      return Failed(std::move(out), ExtractStatus::ReadFailed, copy.message, copy.detail);
    case CopyEnd::kWriteError:
      return Failed(std::move(out), ExtractStatus::WriteFailed, copy.message, copy.detail);
    case CopyEnd::kCancelled:
      return Failed(std::move(out), ExtractStatus::Cancelled, kCancelled, "");
  }
  return out;
}

}  // namespace

ExtractOutcome ExtractClip(const ExtractRequest& request, const std::atomic<bool>& cancel,
                           const ExtractProgress& progress) {
  ExtractOutcome out;
  int cameraCount = 0;
  for (bool c : request.cameras) cameraCount += c ? 1 : 0;
  if (cameraCount == 0) return Failed(std::move(out), ExtractStatus::NothingToDo, "No camera is chosen.", "");
  const double startSeconds = double(request.startCentis) / 100;
  const double endSeconds = double(request.endCentis) / 100;
  if (request.startCentis < 0 || endSeconds <= startSeconds)
    return Failed(std::move(out), ExtractStatus::NothingToDo, "The end of the range is not after its start.",
                  "");
  const std::vector<ClipSourceFile> files =
      FilesForRange(request.files, request.startCentis, request.endCentis);
  if (files.empty())
    return Failed(std::move(out), ExtractStatus::NothingToDo, "No file of the recording covers the range.",
                  "");

  std::vector<std::string> paths;
  for (const ClipSourceFile& f : files) paths.push_back(f.path);
  const double offset = startSeconds - double(files.front().startCentis) / 100;
  const std::vector<double> lengths = SegmentLengths(endSeconds - startSeconds);
  const int segments = int(lengths.size());
  std::vector<std::string> timeline;
  for (const ClipSourceFile& f : request.files) timeline.push_back(f.path);
  if (const avi::OutputRefusal refusal = avi::RefuseOutputs(OutputNames(request), timeline))
    return Failed(std::move(out), ExtractStatus::OutputRefused, kCannotOverwrite,
                  refusal.output + ": " + refusal.reason);
  SourceFiles sources;

  // Which frames and sound each camera takes in each segment, from the
  // indexes alone, before anything is written: a range that holds no frame of
  // a camera is refused, not written as an empty clip.
  std::vector<std::vector<CameraWalk>> plan(static_cast<std::size_t>(segments));
  std::array<int64_t, 4> framesOfCamera{};
  double done = 0;
  for (int segment = 0; segment < segments; ++segment) {
    for (int camera = 0; camera < 4; ++camera) {
      if (!request.cameras[std::size_t(camera)]) continue;
      const CameraSegment copy{paths, camera, offset + done, lengths[std::size_t(segment)], {}, {}};
      CameraWalk walk = WalkCameraSegment(copy, sources, cancel);
      if (walk.end != CopyEnd::kReachedEnd)
        return FromCopy(std::move(out), CopyResult{walk.end, walk.message, walk.detail, 0, 0});
      framesOfCamera[std::size_t(camera)] += walk.Frames();
      plan[std::size_t(segment)].push_back(std::move(walk));
    }
    done += lengths[std::size_t(segment)];
  }
  for (int camera = 0; camera < 4; ++camera) {
    if (request.cameras[std::size_t(camera)] && framesOfCamera[std::size_t(camera)] == 0)
      return Failed(std::move(out), ExtractStatus::NoFrames,
                    "The marked range holds no frame of camera " + std::to_string(camera + 1) + ".", "");
  }

  for (int segment = 0; segment < segments; ++segment) {
    if (cancel.load()) return Failed(std::move(out), ExtractStatus::Cancelled, kCancelled, "");
    const std::vector<CameraWalk>& walks = plan[std::size_t(segment)];
    // The last piece of a range can be too short for a frame of any camera.
    if (std::all_of(walks.begin(), walks.end(), [](const CameraWalk& w) { return w.Frames() == 0; }))
      continue;

    const std::filesystem::path name = SegmentOutputName(request.destination, segment + 1, segments > 1);
    std::error_code ec;
    if (std::filesystem::is_directory(name, ec))
      return Failed(std::move(out), ExtractStatus::WriteFailed, kCannotOverwrite,
                    name.string() + ": is a folder");
    std::string error;
    const std::filesystem::path partial = CreateSiblingTemporary(name, error);
    if (partial.empty())
      return Failed(std::move(out), ExtractStatus::WriteFailed, kCannotMux, name.string() + ": " + error);
    RemoveUnlessKept cleanup(partial);
    const MuxResult mux = MuxSegment(walks, partial, cancel, [&](double fraction) {
      // The walks read no frame: writing is the segment's work.
      if (progress) progress(OverallProgress(segment, segments, 0, 1, fraction));
    });
    if (mux.end == MuxEnd::kCancelled)
      return Failed(std::move(out), ExtractStatus::Cancelled, kCancelled, "");
    if (mux.end != MuxEnd::kDone)
      return Failed(std::move(out),
                    mux.end == MuxEnd::kReadError ? ExtractStatus::ReadFailed : ExtractStatus::WriteFailed,
                    mux.end == MuxEnd::kReadError ? kReadFailed : kCannotMux, mux.detail);
    if (!AppendDvrSettings(partial, request.triggerNames, request.dvrTitle, error))
      return Failed(std::move(out), ExtractStatus::WriteFailed, kCannotMux, name.string() + ": " + error);
    if (std::rename(partial.c_str(), name.c_str()) != 0)
      return Failed(std::move(out), ExtractStatus::WriteFailed, kCannotOverwrite,
                    name.string() + ": " + std::strerror(errno));
    cleanup.Keep();
    out.outputs.push_back(name.string());
  }
  if (progress) progress(1.0);
  out.status = ExtractStatus::Done;
  return out;
}

std::vector<std::string> OutputNames(const ExtractRequest& request) {
  // The same arithmetic as the extraction's own, so the names are the ones it writes.
  const double seconds = double(request.endCentis) / 100 - double(request.startCentis) / 100;
  const int segments = int(SegmentLengths(seconds).size());
  std::vector<std::string> names;
  for (int segment = 1; segment <= segments; ++segment)
    names.push_back(SegmentOutputName(request.destination, segment, segments > 1));
  return names;
}

std::vector<ClipSourceFile> ListTimelineFiles(const std::string& path) {
  std::vector<ClipSourceFile> files;
  int64_t position = 0;
  for (const std::string& p : NumberedRunFrom(path)) {
    const avi::AviLength length = avi::ReadAviLength(p);
    if (files.empty() && length.videoStreams == 0) return {};
    files.push_back({p, length.videoStreams, position, position + length.lengthCentis});
    position += length.lengthCentis;
  }
  return files;
}

}  // namespace clip
