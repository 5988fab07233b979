#include "clip/segment_mux.h"

#include <algorithm>

#include "avi/avi_reader.h"
#include "avi/avi_writer.h"

namespace clip {
namespace {

// An audio stream header for a wave format record: one sample block per
// scale unit, the byte rate as the rate, so lengths count blocks.
avi::WriterStream AudioStreamFor(const std::vector<uint8_t>& format) {
  std::vector<uint8_t> wave = format;
  wave.resize(std::max<std::size_t>(wave.size(), avi::kWaveFormatBytes), 0);
  const uint16_t blockAlign = std::max<uint16_t>(1, avi::ReadLE16(wave.data() + 12));
  avi::StreamHeader h;
  h.type = avi::kAuds;
  h.scale = blockAlign;
  h.rate = avi::ReadLE32(wave.data() + 8);
  h.sampleSize = blockAlign;
  h.quality = 0xFFFFFFFFu;
  return avi::MakeWriterStream(h, format);
}

// The audio bytes a camera's walk took, read in order across its pieces.
class AudioCursor {
 public:
  explicit AudioCursor(const std::vector<WalkPiece>& pieces) : pieces_(pieces) {
    for (const WalkPiece& p : pieces_) total_ += p.audio.count;
    StartPiece();
  }
  uint64_t total() const { return total_; }

  // Appends the next `n` bytes to `out`; false when a read fails.
  bool Read(uint64_t n, std::vector<uint8_t>& out) {
    while (n > 0 && piece_ < pieces_.size()) {
      const WalkPiece& p = pieces_[piece_];
      const std::vector<avi::ChunkEntry>& chunks = p.reader->Stream(std::size_t(p.audioStream)).chunks;
      if (leftInPiece_ == 0 || chunk_ >= chunks.size()) {
        ++piece_;
        StartPiece();
        continue;
      }
      const avi::ChunkEntry& c = chunks[chunk_];
      const uint64_t take = std::min({n, leftInPiece_, uint64_t(c.size) - inChunk_});
      const std::size_t at = out.size();
      out.resize(at + std::size_t(take));
      if (!p.reader->ReadBytes(c.offset + inChunk_, out.data() + at, std::size_t(take))) return false;
      n -= take;
      leftInPiece_ -= take;
      inChunk_ += take;
      if (inChunk_ == c.size) ++chunk_, inChunk_ = 0;
    }
    return n == 0;
  }

 private:
  // Places the cursor on the first byte of the current piece's slice.
  void StartPiece() {
    chunk_ = 0;
    inChunk_ = 0;
    leftInPiece_ = 0;
    if (piece_ >= pieces_.size()) return;
    const WalkPiece& p = pieces_[piece_];
    leftInPiece_ = p.audio.count;
    uint64_t skip = p.audio.first;
    const std::vector<avi::ChunkEntry>& chunks = p.reader->Stream(std::size_t(p.audioStream)).chunks;
    while (chunk_ < chunks.size() && skip >= chunks[chunk_].size) skip -= chunks[chunk_++].size;
    inChunk_ = skip;
  }

  const std::vector<WalkPiece>& pieces_;
  uint64_t total_ = 0;
  std::size_t piece_ = 0;
  std::size_t chunk_ = 0;
  uint64_t inChunk_ = 0;
  uint64_t leftInPiece_ = 0;
};

struct FrameRef {
  const WalkPiece* piece;
  std::size_t k;
};

}  // namespace

MuxResult MuxSegment(const std::vector<CameraWalk>& cameras, const std::filesystem::path& output,
                     const std::atomic<bool>& cancel, const std::function<void(double)>& progress) {
  if (cameras.empty() || !cameras[0].headersKnown) return {MuxEnd::kReadError, "no camera to write"};
  avi::AviWriter writer(cameras[0].main);
  struct Camera {
    std::vector<FrameRef> frames;
    std::unique_ptr<AudioCursor> audio;
    uint64_t audioDone = 0;
    uint64_t block = 1;
    int videoOut = -1, audioOut = -1;
  };
  std::vector<Camera> out(cameras.size());
  std::size_t framesMax = 0, totalFrames = 0;
  for (std::size_t c = 0; c < cameras.size(); ++c) {
    const CameraWalk& walk = cameras[c];
    for (const WalkPiece& p : walk.pieces)
      for (std::size_t k = p.firstFrame; k < p.firstFrame + p.frames; ++k) out[c].frames.push_back({&p, k});
    out[c].audio = std::make_unique<AudioCursor>(walk.pieces);
    out[c].block = walk.audioFormat.size() >= 14
                       ? std::max<uint16_t>(1, avi::ReadLE16(walk.audioFormat.data() + 12))
                       : 1;
    out[c].videoOut = writer.AddStream({walk.videoStrh, walk.videoStrf, std::nullopt, true, walk.videoVprp});
    if (!walk.audioFormat.empty()) out[c].audioOut = writer.AddStream(AudioStreamFor(walk.audioFormat));
    framesMax = std::max(framesMax, out[c].frames.size());
    totalFrames += out[c].frames.size();
  }
  writer.EnableOpenDml();  // four cameras of twenty minutes pass 1 GB
  if (!writer.Open(output)) return {MuxEnd::kWriteError, writer.error()};

  MuxResult result;
  std::vector<uint8_t> buffer(kMaxFrameBytes);
  std::vector<uint8_t> sound;
  std::size_t framesDone = 0;
  for (std::size_t i = 0; i < framesMax && result.end == MuxEnd::kDone; ++i) {
    if (cancel.load(std::memory_order_relaxed)) {
      result = {MuxEnd::kCancelled, ""};
      break;
    }
    for (Camera& cam : out) {
      const std::size_t frames = cam.frames.size();
      if (i < frames) {
        const FrameRef& f = cam.frames[i];
        const int64_t size =
            f.piece->reader->ReadChunk(std::size_t(f.piece->videoStream), f.k, buffer.data(), buffer.size());
        if (size < 0) {
          // The index promised this frame: the file changed or the disk failed.
          result = {MuxEnd::kReadError, f.piece->path + ": frame " + std::to_string(f.k) +
                                            " can't be read (truncated or unreadable)"};
          break;
        }
        if (!writer.WriteChunk(cam.videoOut, buffer.data(), std::size_t(size), true)) {
          result = {MuxEnd::kWriteError, writer.error()};
          break;
        }
        ++framesDone;
      }
      // The audio that belongs with the frames so far, in whole blocks; the
      // last frame takes the rest.
      if (cam.audioOut < 0) continue;
      const uint64_t total = cam.audio->total();
      uint64_t upTo = i + 1 >= frames ? total : total * (i + 1) / frames / cam.block * cam.block;
      upTo = std::min(upTo, total);
      if (upTo > cam.audioDone) {
        sound.clear();
        if (!cam.audio->Read(upTo - cam.audioDone, sound)) {
          result = {MuxEnd::kReadError, "the sound of a source can't be read (truncated or unreadable)"};
          break;
        }
        if (!writer.WriteChunk(cam.audioOut, sound.data(), sound.size(), true)) {
          result = {MuxEnd::kWriteError, writer.error()};
          break;
        }
        cam.audioDone = upTo;
      }
    }
    if (progress && i % 16 == 0) progress(double(framesDone) / double(std::max<std::size_t>(totalFrames, 1)));
  }
  if (!writer.Close() && result.end == MuxEnd::kDone) result = {MuxEnd::kWriteError, writer.error()};
  return result;
}

}  // namespace clip
