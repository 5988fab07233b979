#include "clip/camera_segment_copy.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "avi/avi_reader.h"
#include "avi/avi_writer.h"
#include "avi/frame_timing.h"
#include "clip/wave_file_header.h"
#include "engine/camera_streams.h"

namespace clip {
namespace {

constexpr const char* kOpenSourceFailed =
    "Unable to open source file for read. It could be that the file is locked at that location or you do not "
    "have permission to read from this volume.";
constexpr const char* kNoVideoStream = "Unable to open source video stream. Aborting!";
constexpr const char* kNoAudioStream = "Unable to open source audio stream. Aborting!";
constexpr const char* kCreateVideoFailed =
    "Unable to open destination file for writing video. It could be that the file is locked at that location "
    "or "
    "you do not have permission to create files in this volume.";
constexpr const char* kWriteFrameFailed = "Unable to write video frame to destination file. Aborting";

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The audio output: header first, sizes patched when the copy ends.
class WaveOutput {
 public:
  bool Open(const std::filesystem::path& path, const std::vector<uint8_t>& format) {
    format_ = format;
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) return false;
    const auto header = MakeWaveHeader(format_, 0);
    ok_ = std::fwrite(header.data(), 1, header.size(), file_.get()) == header.size();
    return true;
  }
  bool IsOpen() const { return bool(file_); }
  bool Append(const uint8_t* data, std::size_t size) {
    if (!file_) return false;
    ok_ = ok_ && std::fwrite(data, 1, size, file_.get()) == size;
    bytes_ += size;
    return ok_;
  }
  // Patches the sizes and closes; false when any write failed.
  bool Finish(std::string& reason) {
    if (!file_) return true;
    const auto header = MakeWaveHeader(format_, uint32_t(bytes_));
    ok_ = ok_ && std::fseek(file_.get(), 0, SEEK_SET) == 0 &&
          std::fwrite(header.data(), 1, header.size(), file_.get()) == header.size();
    ok_ = std::fflush(file_.get()) == 0 && ok_;
    if (!ok_) reason = std::strerror(errno);
    ok_ = std::fclose(file_.release()) == 0 && ok_;
    return ok_;
  }
  uint64_t bytes() const { return bytes_; }

 private:
  FilePtr file_;
  std::vector<uint8_t> format_;
  uint64_t bytes_ = 0;
  bool ok_ = true;
};

// Copies bytes [slice.first, slice.first + slice.count) of the stream's data,
// the chunks taken end to end, reading only the chunks the slice touches.
bool CopyAudioSlice(const avi::AviReader& reader, int stream, AudioSlice slice, WaveOutput& out,
                    std::vector<uint8_t>& buffer) {
  uint64_t chunkStart = 0;
  const uint64_t sliceEnd = slice.first + slice.count;
  for (const avi::ChunkEntry& c : reader.Stream(std::size_t(stream)).chunks) {
    const uint64_t chunkEnd = chunkStart + c.size;
    const uint64_t from = std::max(chunkStart, slice.first);
    const uint64_t to = std::min(chunkEnd, sliceEnd);
    if (from < to) {
      const std::size_t n = std::size_t(to - from);
      if (buffer.size() < n) buffer.resize(n);
      if (!reader.ReadBytes(c.offset + (from - chunkStart), buffer.data(), n)) return false;
      if (!out.Append(buffer.data(), n)) return true;  // reported when the file is finished
    }
    chunkStart = chunkEnd;
    if (chunkStart >= sliceEnd) break;
  }
  return true;
}

uint64_t AudioBytes(const avi::AviReader& reader, int stream) {
  uint64_t total = 0;
  for (const avi::ChunkEntry& c : reader.Stream(std::size_t(stream)).chunks) total += c.size;
  return total;
}

}  // namespace

AudioSlice AudioSliceOf(uint64_t skipped, uint64_t written, uint64_t frames, uint64_t audioBytes) {
  if (frames == 0) return {};
  const double startByte = double(skipped) / double(frames) * double(audioBytes);
  const double endByte = double(skipped + written) / double(frames) * double(audioBytes);
  AudioSlice s{uint64_t(startByte), uint64_t(endByte - startByte)};
  // Bounded by what the file holds, whatever the counts say.
  s.first = std::min(s.first, audioBytes);
  s.count = std::min(s.count, audioBytes - s.first);
  return s;
}

SourceFiles::SourceFiles() = default;
SourceFiles::~SourceFiles() = default;

const avi::AviReader* SourceFiles::Open(const std::string& path, std::string& error) {
  auto found = readers_.find(path);
  if (found != readers_.end()) return found->second.get();
  auto reader = std::make_unique<avi::AviReader>();
  if (!reader->Open(path)) {
    error = reader->Error();
    return nullptr;
  }
  return readers_.emplace(path, std::move(reader)).first->second.get();
}

int64_t CameraWalk::Frames() const {
  int64_t n = 0;
  for (const WalkPiece& p : pieces) n += int64_t(p.frames);
  return n;
}

CameraWalk WalkCameraSegment(const CameraSegment& segment, SourceFiles& sources,
                             const std::atomic<bool>& cancel, const std::function<void(double)>& progress) {
  CameraWalk walk;
  // The frames wanted, counted across the files; known once the first file's rate is.
  avi::FrameSpan wanted;
  int64_t frame = 0;  // the run's frame the walk is at
  bool stop = false;
  auto fail = [&](CopyEnd how, const char* message, std::string detail) {
    walk.end = how;
    walk.message = message ? message : "";
    walk.detail = std::move(detail);
    stop = true;
  };
  const std::string camera = std::to_string(segment.camera + 1);

  for (std::size_t f = 0; f < segment.files.size() && (!walk.headersKnown || frame < wanted.end()) && !stop;
       ++f) {
    const std::string& path = segment.files[f];
    std::string error;
    const avi::AviReader* reader = sources.Open(path, error);
    if (!reader) {
      fail(CopyEnd::kSourceError, kOpenSourceFailed, path + ": " + error);
      break;
    }
    const int v = CameraStream(*reader, avi::kVids, segment.camera);
    if (v < 0) {
      fail(CopyEnd::kSourceError, kNoVideoStream, path + ": no video stream for camera " + camera);
      break;
    }
    // A file without any sound (as other programs write them) gives a clip
    // without sound; a camera without sound beside cameras with sound is
    // the recorders' fault the message names.
    const int a = CameraStream(*reader, avi::kAuds, segment.camera);
    if (a < 0 && reader->NthStreamOfType(avi::kAuds, 0) >= 0) {
      fail(CopyEnd::kSourceError, kNoAudioStream, path + ": no audio stream for camera " + camera);
      break;
    }
    if (!walk.headersKnown) {
      const avi::AviStream& vs = reader->Stream(std::size_t(v));
      const double fps = avi::FramesPerSecond(vs.header);
      if (!(fps > 0)) {
        fail(CopyEnd::kSourceError, kNoVideoStream, path + ": the video stream has no frame rate");
        break;
      }
      wanted = avi::FramesOfTimeSpan(segment.start, segment.start + segment.length, fps);
      walk.headersKnown = true;
      walk.main = reader->Header();
      walk.videoStrh = vs.strh;
      walk.videoStrf = vs.strf;
      walk.videoVprp = vs.vprp;
      if (a >= 0) walk.audioFormat = reader->Stream(std::size_t(a)).strf;
    }

    WalkPiece piece{reader, path, v, a, 0, 0, {}};
    std::size_t skipped = 0;
    const std::size_t frames = reader->ChunkCount(std::size_t(v));
    for (std::size_t k = 0; k < frames && frame < wanted.end(); ++k, ++frame) {
      if (cancel.load(std::memory_order_relaxed)) {
        fail(CopyEnd::kCancelled, nullptr, "");
        break;
      }
      if (progress && k % 64 == 0) progress(double(frame) / double(std::max<int64_t>(wanted.end(), 1)));
      avi::ChunkEntry entry;
      if (!reader->Chunk(std::size_t(v), k, entry) || entry.size > kMaxFrameBytes)
        break;  // the file ends here
      if (frame < wanted.first) {
        ++skipped;
      } else {
        if (piece.frames == 0) piece.firstFrame = k;
        ++piece.frames;
      }
    }
    if (piece.frames > 0 && walk.end != CopyEnd::kCancelled) {
      if (a >= 0) piece.audio = AudioSliceOf(skipped, piece.frames, frames, AudioBytes(*reader, a));
      walk.pieces.push_back(std::move(piece));
    }
  }
  if (!stop) walk.end = !walk.headersKnown || frame < wanted.end() ? CopyEnd::kRanOut : CopyEnd::kReachedEnd;
  return walk;
}

CopyResult CopyCameraSegment(const CameraSegment& segment, const std::atomic<bool>& cancel,
                             const std::function<void(double)>& progress) {
  SourceFiles sources;
  const CameraWalk walk = WalkCameraSegment(segment, sources, cancel, progress);
  CopyResult result{walk.end, walk.message, walk.detail, 0, 0};
  if (!walk.headersKnown) return result;

  avi::AviWriter video(walk.main);
  video.AddStream({walk.videoStrh, walk.videoStrf, std::nullopt, true, walk.videoVprp});
  video.EnableOpenDml();
  if (!video.Open(segment.videoPath)) return {CopyEnd::kWriteError, kCreateVideoFailed, video.error(), 0, 0};
  WaveOutput audio;
  if (!walk.audioFormat.empty()) audio.Open(segment.audioPath, walk.audioFormat);
  auto fail = [&](CopyEnd how, const char* message, std::string detail) {
    if (result.end == CopyEnd::kWriteError || result.end == CopyEnd::kCancelled) return;
    result.end = how;
    result.message = message;
    result.detail = std::move(detail);
  };

  std::vector<uint8_t> frame(kMaxFrameBytes);
  std::vector<uint8_t> buffer;
  bool stop = false;
  for (const WalkPiece& piece : walk.pieces) {
    for (std::size_t k = piece.firstFrame; k < piece.firstFrame + piece.frames && !stop; ++k) {
      const int64_t size =
          piece.reader->ReadChunk(std::size_t(piece.videoStream), k, frame.data(), frame.size());
      if (size < 0) {
        // The index promised this frame: the file changed or the disk failed.
        fail(CopyEnd::kSourceError, kOpenSourceFailed,
             piece.path + ": frame " + std::to_string(k) + " can't be read (truncated or unreadable)");
        stop = true;
      } else if (!video.WriteChunk(0, frame.data(), std::size_t(size), true)) {
        fail(CopyEnd::kWriteError, kWriteFrameFailed, video.error());
        stop = true;
      } else {
        ++result.framesWritten;
      }
    }
    if (audio.IsOpen() && !CopyAudioSlice(*piece.reader, piece.audioStream, piece.audio, audio, buffer)) {
      fail(CopyEnd::kSourceError, kOpenSourceFailed, piece.path + ": the audio can't be read");
      stop = true;
    }
    if (stop) break;
  }
  if (!video.Close()) fail(CopyEnd::kWriteError, kWriteFrameFailed, video.error());
  std::string reason;
  if (!audio.Finish(reason))
    fail(CopyEnd::kWriteError, kWriteFrameFailed, segment.audioPath.string() + ": " + reason);
  result.audioBytesWritten = audio.bytes();
  return result;
}

}  // namespace clip
