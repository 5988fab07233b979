#include "evidence/integrity_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string_view>

#include "avi/avi_chunk_cursor.h"
#include "avi/avi_reader.h"
#include "avi/frame_timing.h"
#include "engine/recording_layout.h"
#include "evidence/jpeg_structure.h"
#include "metadata/metadata_sample.h"

namespace evidence {

const char* FindingName(FindingKind kind) {
  switch (kind) {
    case FindingKind::kDroppedFrame:
      return "dropped frame";
    case FindingKind::kTimeGap:
      return "time gap";
    case FindingKind::kTimeBackwards:
      return "time goes backwards";
    case FindingKind::kDuplicateFrame:
      return "duplicate frame";
    case FindingKind::kDamagedFrame:
      return "damaged frame";
    case FindingKind::kMissingAudio:
      return "audio chunks missing";
    case FindingKind::kFileGap:
      return "gap between files";
  }
  return "";
}

namespace {

// The frame times carry milliseconds, so a steady 30 fps interval reads as
// 33 or 34 ms: comparisons leave this much room.
constexpr double kTimeToleranceMs = 2.0;
constexpr int64_t kNoTime = INT64_MIN;
// Frames are read in file order through a window small enough to stay in
// the processor's second-level cache, where looking at a frame's headers and
// end costs next to nothing.
constexpr std::size_t kReadWindowBytes = 256 * 1024;

// The size and a few slices of a frame: its start (with the record and its
// time), a piece of the middle and its end. Frames that differ almost always
// differ here.
uint64_t Fingerprint(std::span<const uint8_t> bytes) {
  constexpr std::size_t kSlice = 128;
  const auto slice = [&](std::size_t from) {
    from = std::min(from, bytes.size());
    return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(bytes.data()) + from,
                                                          std::min(kSlice, bytes.size() - from)));
  };
  const std::size_t tail = bytes.size() > kSlice ? bytes.size() - kSlice : 0;
  return (slice(0) * 31 + slice(bytes.size() / 2)) * 31 + slice(tail) + bytes.size() * 0x9E3779B97F4A7C15ull;
}

// What is carried from frame to frame (and file to file) for one camera.
struct CameraState {
  bool present = false;
  int videoStream = -1, audioStream = -1;  // in the current file
  int64_t framesInFile = 0;
  uint64_t lastFingerprint = 0;
  std::vector<uint8_t> carried;  // the last frame of the file before, to compare the next file's first
  bool haveLast = false;
  int64_t lastTime = kNoTime;  // ms, within the current file
  // Over the run, for the measured rate: the steps between frames whose
  // time goes forward.
  int64_t timedIntervals = 0;
  int64_t timedSpanMs = 0;
  CameraSummary summary;
};

class RunChecker {
 public:
  explicit RunChecker(IntegrityReport& report) : report_(report) {}

  bool CheckFile(int fileIndex, const std::string& path) {
    avi::AviReader reader;
    if (!reader.Open(path)) {
      report_.error = path + ": " + reader.Error();
      return false;
    }
    report_.files.push_back({path, reader.FileSize()});
    for (CameraState& c : cameras_) c.videoStream = c.audioStream = -1, c.framesInFile = 0;
    MapStreams(reader, fileIndex == 0);

    fileFirst_ = fileLast_ = kNoTime;
    // The cameras' frames in file order; sound is judged from the index alone.
    struct Frame {
      uint64_t offset;
      std::size_t stream, k;
    };
    std::vector<Frame> frames;
    for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
      if (cameraOfVideoStream_[s] < 0) continue;
      const std::vector<avi::ChunkEntry>& chunks = reader.Stream(s).chunks;
      // Each stream's chunks are in file order already: merging them is enough.
      const std::ptrdiff_t before = std::ptrdiff_t(frames.size());
      for (std::size_t k = 0; k < chunks.size(); ++k) frames.push_back({chunks[k].offset, s, k});
      const auto byOffset = [](const Frame& a, const Frame& b) { return a.offset < b.offset; };
      if (!std::is_sorted(frames.begin() + before, frames.end(), byOffset))
        std::sort(frames.begin() + before, frames.end(), byOffset);
      std::inplace_merge(frames.begin(), frames.begin() + before, frames.end(), byOffset);
    }
    avi::AviChunkCursor cursor(reader, kReadWindowBytes);
    for (const Frame& f : frames) {
      bool ok = false;
      const std::span<const uint8_t> bytes = cursor.ViewChunk(f.stream, f.k, ok);
      CheckFrame(fileIndex, cameraOfVideoStream_[f.stream], reader, f.stream, f.k,
                 ok ? bytes : std::span<const uint8_t>{}, ok);
    }
    FinishFile(fileIndex, reader);
    return true;
  }

  void Finish() {
    for (CameraState& c : cameras_) {
      if (!c.present) continue;
      if (c.timedSpanMs > 0)
        c.summary.measuredFps = 1000.0 * double(c.timedIntervals) / double(c.timedSpanMs);
      report_.cameras.push_back(c.summary);
    }
  }

 private:
  void MapStreams(const avi::AviReader& reader, bool firstFile) {
    cameraOfVideoStream_.assign(reader.StreamCount(), -1);
    for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
      const avi::AviStream& stream = reader.Stream(s);
      const std::string name = StreamPinName(int(s), stream.name);
      const int channel = PinChannel(name);
      if (channel < 0) continue;
      CameraState& c = cameras_[std::size_t(channel)];
      if (stream.header.type == avi::kVids && PinMatchesStreamType(name, kVideoStream) && c.videoStream < 0) {
        c.videoStream = int(s);
        cameraOfVideoStream_[s] = channel;
        if (!c.present) {
          c.present = true;
          c.summary.camera = channel + 1;
          if (firstFile || c.summary.declaredFps == 0)
            c.summary.declaredFps = avi::FramesPerSecond(stream.header);
        }
      } else if (stream.header.type == avi::kAuds && PinMatchesStreamType(name, kAudioStream) &&
                 c.audioStream < 0) {
        c.audioStream = int(s);
      }
    }
    if (interval_ == 0) {
      for (const CameraState& c : cameras_) {
        if (c.present && c.summary.declaredFps > 0) {
          interval_ = 1000.0 / c.summary.declaredFps;
          break;
        }
      }
    }
  }

  void Add(Finding finding) { report_.findings.push_back(std::move(finding)); }

  void CheckFrame(int file, int channel, const avi::AviReader& reader, std::size_t stream, std::size_t k,
                  std::span<const uint8_t> bytes, bool readable) {
    CameraState& c = cameras_[std::size_t(channel)];
    const int64_t frame = c.framesInFile++;
    ++c.summary.frames;
    const int camera = channel + 1;
    if (!readable) {
      Add({FindingKind::kDamagedFrame, camera, file, frame, 0, 0, "cannot be read from the file"});
      c.haveLast = false;
      return;
    }
    // Identical bytes in a row. Only a frame whose fingerprint matches the
    // one before is compared in full, with the frame before read again
    // through the index: no frame is kept, and the rest costs nothing.
    const uint64_t fingerprint = Fingerprint(bytes);
    bool duplicate = false;
    if (c.haveLast && c.lastFingerprint == fingerprint) {
      if (k == 0) {
        duplicate =
            c.carried.size() == bytes.size() && std::equal(bytes.begin(), bytes.end(), c.carried.begin());
      } else if (reader.ReadChunk(stream, k - 1, previous_)) {
        duplicate =
            previous_.size() == bytes.size() && std::equal(bytes.begin(), bytes.end(), previous_.begin());
      }
    }
    c.lastFingerprint = fingerprint, c.haveLast = true;
    if (duplicate) {
      Add({FindingKind::kDuplicateFrame, camera, file, frame, 0, 1, ""});
      // Its record is its predecessor's; it still fills a frame's time, so
      // the next frame is measured from that slot.
      if (c.lastTime != kNoTime) c.lastTime += std::llround(interval_);
      return;
    }
    if (const std::string problem = JpegStructureProblem(bytes.data(), bytes.size()); !problem.empty()) {
      Add({FindingKind::kDamagedFrame, camera, file, frame, 0, 0, problem});
    }
    if (bytes.size() < kFrameMinimumBytes || !HasMetadataMagic(bytes.data() + kFrameMetadataOffset)) return;
    const MetadataSample sample = UnpackMetadataSample(bytes.data() + kFrameMetadataOffset);
    const int64_t time = int64_t(sample.utcSeconds) * 1000 + sample.milliseconds;
    if (fileFirst_ == kNoTime || time < fileFirst_) fileFirst_ = time;
    if (fileLast_ == kNoTime || time > fileLast_) fileLast_ = time;
    if (c.lastTime != kNoTime && interval_ > 0) {
      const int64_t delta = time - c.lastTime;
      const double seconds = double(delta) / 1000.0;
      if (delta >= 0) ++c.timedIntervals, c.timedSpanMs += delta;
      if (delta < 0) {
        Add({FindingKind::kTimeBackwards, camera, file, frame, -seconds, 0, ""});
      } else if (delta > 2 * interval_ + kTimeToleranceMs) {
        Add({FindingKind::kTimeGap, camera, file, frame, seconds, std::llround(delta / interval_) - 1, ""});
      } else if (delta > 1.5 * interval_) {
        Add({FindingKind::kDroppedFrame, camera, file, frame, seconds, 1, ""});
      }
    }
    c.lastTime = time;
  }

  void FinishFile(int file, const avi::AviReader& reader) {
    for (CameraState& c : cameras_) {
      if (c.videoStream < 0) continue;
      c.lastTime = kNoTime;
      const std::size_t frames = reader.ChunkCount(std::size_t(c.videoStream));
      if (frames == 0 || !reader.ReadChunk(std::size_t(c.videoStream), frames - 1, c.carried))
        c.haveLast = false;
      CheckAudio(file, c, reader);
    }
    if (previousLast_ != kNoTime && fileFirst_ != kNoTime) {
      const double gapMs = double(fileFirst_ - previousLast_);
      report_.boundaryGaps.push_back(gapMs / 1000.0);
      if (gapMs < 0 || (interval_ > 0 && gapMs > 2 * interval_ + kTimeToleranceMs)) {
        Add({FindingKind::kFileGap, 0, file - 1, -1, gapMs / 1000.0,
             interval_ > 0 && gapMs > 0 ? std::llround(gapMs / interval_) - 1 : 0, ""});
      }
    } else if (file > 0) {
      report_.boundaryGaps.push_back(NAN);  // one side carries no times
    }
    if (fileLast_ != kNoTime) previousLast_ = fileLast_;
  }

  // Audio is measured from the index alone: its bytes give its duration,
  // which a steady recorder keeps level with the video's.
  void CheckAudio(int file, CameraState& c, const avi::AviReader& reader) {
    if (c.audioStream < 0) return;
    const avi::AviStream& audio = reader.Stream(std::size_t(c.audioStream));
    const std::size_t chunks = reader.ChunkCount(std::size_t(c.audioStream));
    uint64_t bytes = 0;
    for (const avi::ChunkEntry& e : audio.chunks) bytes += e.size;
    c.summary.audioChunks = std::max<int64_t>(c.summary.audioChunks, 0) + int64_t(chunks);
    const uint32_t bytesPerSecond = audio.strf.size() >= 12 ? avi::ReadLE32(audio.strf.data() + 8) : 0;
    const double fps = avi::FramesPerSecond(reader.Stream(std::size_t(c.videoStream)).header);
    if (bytesPerSecond == 0 || fps <= 0 || c.framesInFile == 0) return;
    const double videoSeconds = double(c.framesInFile) / fps;
    const double audioSeconds = double(bytes) / bytesPerSecond;
    // Without a chunk to measure, a recorder's one chunk per frame is assumed.
    const double chunkSeconds = chunks > 0 ? audioSeconds / double(chunks) : 1.0 / fps;
    const int64_t missing = std::llround((videoSeconds - audioSeconds) / chunkSeconds);
    if (missing >= 1) {
      Add({FindingKind::kMissingAudio, c.summary.camera, file, -1, videoSeconds - audioSeconds, missing, ""});
    }
  }

  IntegrityReport& report_;
  std::array<CameraState, 4> cameras_;
  std::vector<int> cameraOfVideoStream_;
  std::vector<uint8_t> previous_;
  double interval_ = 0;  // ms, from the first camera's declared rate
  int64_t fileFirst_ = kNoTime, fileLast_ = kNoTime, previousLast_ = kNoTime;
};

}  // namespace

IntegrityReport CheckRecording(const std::vector<std::string>& paths) {
  IntegrityReport report;
  if (paths.empty()) {
    report.error = "no recording to check";
    return report;
  }
  RunChecker checker(report);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (!checker.CheckFile(int(i), paths[i])) break;
  }
  checker.Finish();
  return report;
}

}  // namespace evidence
