#include "evidence/integrity_check.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string_view>
#include <thread>

#include "avi/avi_chunk_cursor.h"
#include "avi/avi_reader.h"
#include "avi/frame_timing.h"
#include "engine/recording_layout.h"
#include "evidence/jpeg_structure.h"
#include "evidence/sha256.h"
#include "metadata/metadata_sample.h"
#include "snapshot/jpeg_entropy_check.h"

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
    case FindingKind::kCutShort:
      return "cut short";
    case FindingKind::kEmptyFile:
      return "empty file skipped";
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
// Frames a decoding worker takes at a time: enough to make the hand-out
// cost nothing, few enough that the workers finish together.
constexpr std::size_t kDecodeBatch = 32;

std::string FourCCName(uint32_t id) {
  std::string text = avi::FourCCText(id);
  for (char& c : text)
    if (c < 0x20 || c > 0x7E) c = '?';
  return text;
}

bool PrintableChunkId(const uint8_t* id) {
  return std::all_of(id, id + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

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
  RunChecker(IntegrityReport& report, const CheckOptions& options) : report_(report), options_(options) {}

  // A file of the run that holds no recording: named, not read.
  void SkipEmptyFile(int fileIndex, const std::string& path) {
    std::error_code ec;
    const uintmax_t bytes = std::filesystem::file_size(path, ec);
    report_.files.push_back({path, ec ? 0 : uint64_t(bytes), ""});
    std::string error;
    if (options_.hashFiles && !Sha256OfFile(path, report_.files.back().sha256, error))
      report_.files.back().sha256.clear();
    Add({FindingKind::kEmptyFile, 0, fileIndex, -1, 0, 0, "4000 bytes or less, holds no recording"});
    if (fileIndex > 0) report_.boundaryGaps.push_back(NAN);
  }

  bool CheckFile(int fileIndex, const std::string& path) {
    avi::AviReader reader;
    if (!reader.Open(path)) {
      report_.error = path + ": " + reader.Error();
      return false;
    }
    report_.files.push_back({path, reader.FileSize(), ""});
    for (CameraState& c : cameras_) c.videoStream = c.audioStream = -1, c.framesInFile = 0;
    MapStreams(reader, fileIndex == 0);

    fileFirst_ = fileLast_ = kNoTime;
    // The cameras' frames in file order; sound is judged from the index alone.
    frames_.clear();
    for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
      if (cameraOfVideoStream_[s] < 0) continue;
      const std::vector<avi::ChunkEntry>& chunks = reader.Stream(s).chunks;
      // Each stream's chunks are in file order already: merging them is enough.
      const std::ptrdiff_t before = std::ptrdiff_t(frames_.size());
      for (std::size_t k = 0; k < chunks.size(); ++k) frames_.push_back({chunks[k].offset, s, k});
      const auto byOffset = [](const Frame& a, const Frame& b) { return a.offset < b.offset; };
      if (!std::is_sorted(frames_.begin() + before, frames_.end(), byOffset))
        std::sort(frames_.begin() + before, frames_.end(), byOffset);
      std::inplace_merge(frames_.begin(), frames_.begin() + before, frames_.end(), byOffset);
    }
    CheckCutShort(fileIndex, reader);
    // The full check decodes the pictures on workers while this thread walks
    // the frames for their times; each picture's result waits in its slot and
    // goes into the report where the frame's own findings are.
    const bool decode = options_.decodePictures && !frames_.empty();
    std::vector<std::jthread> workers;  // joined on every way out
    if (decode) {
      damage_.assign(frames_.size(), std::string());
      nextToDecode_ = 0;
      const int cores = options_.workers > 0 ? options_.workers : int(std::thread::hardware_concurrency());
      for (int w = 1; w < std::max(cores, 1); ++w) workers.emplace_back([this, &reader] { Decode(reader); });
    }
    std::vector<DamageSlot> slots;
    Sha256 hash;
    avi::AviChunkCursor cursor = options_.hashFiles
                                     ? avi::AviChunkCursor(reader, kReadWindowBytes,
                                                           [&hash](std::span<const uint8_t> bytes) {
                                                             hash.Update(bytes.data(), bytes.size());
                                                           })
                                     : avi::AviChunkCursor(reader, kReadWindowBytes);
    for (std::size_t i = 0; i < frames_.size(); ++i) {
      const Frame& f = frames_[i];
      bool ok = false;
      const std::span<const uint8_t> bytes = cursor.ViewChunk(f.stream, f.k, ok);
      const int channel = cameraOfVideoStream_[f.stream];
      const DamageSlot slot{i, report_.findings.size(), channel + 1,
                            cameras_[std::size_t(channel)].framesInFile};
      const bool judged = CheckFrame(fileIndex, channel, reader, f.stream, f.k,
                                     ok ? bytes : std::span<const uint8_t>{}, ok, !decode);
      if (decode && judged) slots.push_back(slot);
    }
    if (options_.hashFiles && cursor.FinishSink()) report_.files.back().sha256 = hash.HexDigest();
    if (decode) {
      Decode(reader);
      workers.clear();  // joins them
      InsertDamage(fileIndex, slots);
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

  // A finding about frame `frame` of a camera in a file, with its place in
  // the file by the declared rate.
  Finding FrameFinding(FindingKind kind, int camera, int file, int64_t frame, std::string detail) const {
    Finding f{kind, camera, file, frame, 0, 0, std::move(detail)};
    if (interval_ > 0) f.at = double(frame) * interval_ / 1000.0;
    return f;
  }

  struct Frame {
    uint64_t offset;
    std::size_t stream, k;
  };
  // Where a picture's result goes: frame i of frames_, the position among
  // the findings it would have had when found in turn.
  struct DamageSlot {
    std::size_t frame;
    std::size_t position;
    int camera;
    int64_t frameInFile;
  };

  // A decoding worker: takes frames a batch at a time until none is left.
  // Each reads its own copy of the frame (the reader's reads are safe from
  // several threads) and writes only its frames' slots.
  void Decode(const avi::AviReader& reader) {
    JpegEntropyCheck entropy;
    std::vector<uint8_t> bytes;
    for (;;) {
      const std::size_t first = nextToDecode_.fetch_add(kDecodeBatch);
      if (first >= frames_.size()) return;
      const std::size_t last = std::min(first + kDecodeBatch, frames_.size());
      for (std::size_t i = first; i < last; ++i) {
        if (!reader.ReadChunk(frames_[i].stream, frames_[i].k, bytes)) continue;  // named by the walk
        std::string problem = JpegStructureProblem(bytes.data(), bytes.size());
        if (problem.empty()) problem = entropy.Problem(bytes.data(), bytes.size());
        damage_[i] = std::move(problem);
      }
    }
  }

  // The pictures' results, each where the walk over the frames left room
  // for it: the report reads as if they had been found in turn.
  void InsertDamage(int file, const std::vector<DamageSlot>& slots) {
    std::vector<Finding> damaged;
    std::vector<std::size_t> positions;
    for (const DamageSlot& slot : slots) {
      if (damage_[slot.frame].empty()) continue;
      damaged.push_back(
          FrameFinding(FindingKind::kDamagedFrame, slot.camera, file, slot.frameInFile, damage_[slot.frame]));
      positions.push_back(slot.position);
    }
    std::vector<Finding>& all = report_.findings;
    std::vector<Finding> merged;
    merged.reserve(all.size() + damaged.size());
    std::size_t from = 0;
    for (std::size_t d = 0; d < damaged.size(); ++d) {
      for (; from < positions[d]; ++from) merged.push_back(std::move(all[from]));
      merged.push_back(std::move(damaged[d]));
    }
    for (; from < all.size(); ++from) merged.push_back(std::move(all[from]));
    all = std::move(merged);
  }

  // A recorder that lost power, or a copy that stopped, leaves a file that
  // holds fewer frames than its headers declare, no index where its header
  // promises one, or a last chunk cut by the file's end.
  void CheckCutShort(int file, const avi::AviReader& reader) {
    std::size_t firstFinding = report_.findings.size();
    // A writer that streams never comes back to its headers: without an
    // index, or the main header's word that one is written, the frame
    // counts of the stream headers are placeholders, not promises.
    const bool indexPromised = (reader.Header().flags & avi::kAvifHasIndex) != 0;
    const bool countsHold = indexPromised || reader.Index() != avi::IndexSource::kScan;
    for (const CameraState& c : cameras_) {
      if (c.videoStream < 0 || !countsHold) continue;
      const avi::AviStream& stream = reader.Stream(std::size_t(c.videoStream));
      const int64_t declared = stream.header.length, found = int64_t(stream.chunks.size());
      if (found >= declared) continue;
      Finding f{FindingKind::kCutShort, c.summary.camera, file, -1, 0, declared - found, ""};
      const double fps = avi::FramesPerSecond(stream.header);
      if (fps > 0) f.seconds = double(declared - found) / fps, f.at = double(found) / fps;
      f.declared = declared, f.found = found;
      f.detail =
          std::to_string(found) + " of the " + std::to_string(declared) + " frames its header declares";
      Add(std::move(f));
    }
    std::vector<std::string> facts;
    if (reader.Index() == avi::IndexSource::kScan && indexPromised)
      facts.push_back("no index, though its header says it has one");
    // After the last chunk the index or the walk found, the next chunk
    // header, if any, must fit its chunk in the file.
    uint64_t end = 0;
    for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
      for (const avi::ChunkEntry& e : reader.Stream(s).chunks) end = std::max(end, e.offset + e.size);
    }
    if (end > 0) {
      end += end & 1;
      uint8_t header[8];
      if (end < reader.FileSize() && end + 8 > reader.FileSize()) {
        facts.push_back("it ends inside the header of a chunk after byte " + std::to_string(end));
      } else if (end + 8 <= reader.FileSize() && reader.ReadBytes(end, header, sizeof header) &&
                 PrintableChunkId(header)) {
        const uint64_t size = avi::ReadLE32(header + 4), held = reader.FileSize() - end - 8;
        if (size > held)
          facts.push_back("its last chunk ('" + FourCCName(avi::ReadLE32(header)) + "' at byte " +
                          std::to_string(end) + ") is cut: " + std::to_string(held) + " of " +
                          std::to_string(size) + " bytes");
      }
    }
    if (facts.empty()) return;
    std::string detail;
    for (const std::string& fact : facts) detail += (detail.empty() ? "" : "; ") + fact;
    // The file's own facts come before its cameras' counts.
    report_.findings.insert(report_.findings.begin() + std::ptrdiff_t(firstFinding),
                            Finding{FindingKind::kCutShort, 0, file, -1, 0, 0, detail});
  }

  // The frame's findings but its picture's when `judgeDamage` is false;
  // returns whether its picture is still to be judged (a frame that can't be
  // read, or repeats the one before, is not).
  bool CheckFrame(int file, int channel, const avi::AviReader& reader, std::size_t stream, std::size_t k,
                  std::span<const uint8_t> bytes, bool readable, bool judgeDamage) {
    CameraState& c = cameras_[std::size_t(channel)];
    const int64_t frame = c.framesInFile++;
    ++c.summary.frames;
    const int camera = channel + 1;
    if (!readable) {
      Add(FrameFinding(FindingKind::kDamagedFrame, camera, file, frame, "cannot be read from the file"));
      c.haveLast = false;
      return false;
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
      Finding f = FrameFinding(FindingKind::kDuplicateFrame, camera, file, frame, "");
      f.count = 1;
      Add(std::move(f));
      // Its record is its predecessor's; it still fills a frame's time, so
      // the next frame is measured from that slot.
      if (c.lastTime != kNoTime) c.lastTime += std::llround(interval_);
      return false;
    }
    if (judgeDamage) {
      if (const std::string problem = JpegStructureProblem(bytes.data(), bytes.size()); !problem.empty())
        Add(FrameFinding(FindingKind::kDamagedFrame, camera, file, frame, problem));
    }
    CheckTime(file, c, frame, bytes);
    return true;
  }

  void CheckTime(int file, CameraState& c, int64_t frame, std::span<const uint8_t> bytes) {
    const int camera = c.summary.camera;
    if (bytes.size() < kFrameMinimumBytes || !HasMetadataMagic(bytes.data() + kFrameMetadataOffset)) return;
    const MetadataSample sample = UnpackMetadataSample(bytes.data() + kFrameMetadataOffset);
    const int64_t time = int64_t(sample.utcSeconds) * 1000 + sample.milliseconds;
    if (fileFirst_ == kNoTime || time < fileFirst_) fileFirst_ = time;
    if (fileLast_ == kNoTime || time > fileLast_) fileLast_ = time;
    if (c.lastTime != kNoTime && interval_ > 0) {
      const int64_t delta = time - c.lastTime;
      const double seconds = double(delta) / 1000.0;
      if (delta >= 0) ++c.timedIntervals, c.timedSpanMs += delta;
      Finding f = FrameFinding(FindingKind::kTimeBackwards, camera, file, frame, "");
      if (delta < 0) {
        f.seconds = -seconds;
        Add(std::move(f));
      } else if (delta > 2 * interval_ + kTimeToleranceMs) {
        f.kind = FindingKind::kTimeGap, f.seconds = seconds, f.count = std::llround(delta / interval_) - 1;
        Add(std::move(f));
      } else if (delta > 1.5 * interval_) {
        f.kind = FindingKind::kDroppedFrame, f.seconds = seconds, f.count = 1;
        Add(std::move(f));
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
    if (missing < 1) return;
    // Where: walking both streams in file order, each video frame at which
    // the sound so far falls a whole chunk further behind the frames so far.
    // Only a file already short of sound is walked, so a writer that keeps
    // its sound a little ahead or behind the frames is never blamed.
    const std::vector<avi::ChunkEntry>& video = reader.Stream(std::size_t(c.videoStream)).chunks;
    int64_t placed = 0;
    double heard = 0;
    std::size_t a = 0;
    for (std::size_t k = 0; k < video.size() && placed < missing; ++k) {
      for (; a < audio.chunks.size() && audio.chunks[a].offset < video[k].offset; ++a)
        heard += double(audio.chunks[a].size) / bytesPerSecond;
      const int64_t behind = std::llround((double(k) / fps - heard) / chunkSeconds);
      if (behind <= placed || k == 0) continue;
      const int64_t count = std::min(behind, missing) - placed;
      Finding f = FrameFinding(FindingKind::kMissingAudio, c.summary.camera, file, int64_t(k) - 1, "");
      f.count = count, f.seconds = double(count) * chunkSeconds, f.at = double(k - 1) / fps;
      Add(std::move(f));
      placed += count;
    }
    if (placed < missing) {  // the sound stops before the frames do
      Finding f{FindingKind::kMissingAudio, c.summary.camera, file, -1, 0, missing - placed, ""};
      f.seconds = double(missing - placed) * chunkSeconds, f.at = audioSeconds;
      Add(std::move(f));
    }
  }

  IntegrityReport& report_;
  const CheckOptions options_;
  std::array<CameraState, 4> cameras_;
  std::vector<Frame> frames_;        // the current file's frames in file order
  std::vector<std::string> damage_;  // per frame of frames_: what is wrong with its picture, "" when whole
  std::atomic<std::size_t> nextToDecode_{0};
  std::vector<int> cameraOfVideoStream_;
  std::vector<uint8_t> previous_;
  double interval_ = 0;  // ms, from the first camera's declared rate
  int64_t fileFirst_ = kNoTime, fileLast_ = kNoTime, previousLast_ = kNoTime;
};

}  // namespace

IntegrityReport CheckRecording(const std::vector<CheckFile>& files, const CheckOptions& options) {
  IntegrityReport report;
  if (files.empty()) {
    report.error = "no recording to check";
    return report;
  }
  RunChecker checker(report, options);
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (files[i].empty) {
      checker.SkipEmptyFile(int(i), files[i].path);
    } else if (!checker.CheckFile(int(i), files[i].path)) {
      break;
    }
  }
  checker.Finish();
  return report;
}

IntegrityReport CheckRecording(const std::vector<std::string>& paths, const CheckOptions& options) {
  std::vector<CheckFile> files;
  for (const std::string& p : paths) files.push_back({p, false});
  return CheckRecording(files, options);
}

}  // namespace evidence
