#include "clip/segment_mux.h"

#include <algorithm>
#include <memory>

#include "avi/avi_reader.h"
#include "avi/avi_writer.h"
#include "avi/read_only_file.h"
#include "clip/wave_file_header.h"

namespace clip {
namespace {

struct CameraInput {
  avi::AviReader video;
  avi::ReadOnlyFile audio;
  WaveHeaderFields wave;
  bool hasAudio = false;
  uint64_t audioDone = 0;
  int videoOut = -1;
  int audioOut = -1;
};

// An audio stream header for a wave format record: one sample block per
// scale unit, the byte rate as the rate, so lengths count blocks.
avi::WriterStream AudioStreamFor(const std::vector<uint8_t>& format) {
  const uint16_t blockAlign = std::max<uint16_t>(1, avi::ReadLE16(format.data() + 12));
  avi::StreamHeader h;
  h.type = avi::kAuds;
  h.scale = blockAlign;
  h.rate = avi::ReadLE32(format.data() + 8);
  h.sampleSize = blockAlign;
  h.quality = 0xFFFFFFFFu;
  return avi::MakeWriterStream(h, format);
}

}  // namespace

MuxResult MuxSegment(const std::vector<CameraTemporaries>& cameras, const std::filesystem::path& output,
                     const std::atomic<bool>& cancel, const std::function<void(double)>& progress) {
  MuxResult result;
  if (cameras.empty()) return {MuxEnd::kReadError, "no camera to join"};
  std::vector<std::unique_ptr<CameraInput>> inputs;
  for (const CameraTemporaries& t : cameras) {
    auto in = std::make_unique<CameraInput>();
    if (!in->video.Open(t.video.string()) || in->video.StreamCount() != 1)
      return {MuxEnd::kReadError, t.video.string() + ": " + in->video.Error()};
    std::string error;
    if (in->audio.Open(t.audio.string(), &error)) {
      uint8_t header[kWaveHeaderBytes];
      in->hasAudio =
          in->audio.ReadAt(0, header, sizeof header) && ParseWaveHeader(header, sizeof header, in->wave);
      if (in->hasAudio)
        in->wave.dataBytes =
            uint32_t(std::min<uint64_t>(in->wave.dataBytes, in->audio.Size() - kWaveHeaderBytes));
    }
    inputs.push_back(std::move(in));
  }

  avi::AviWriter writer(inputs[0]->video.Header());
  std::size_t totalFrames = 0, framesMax = 0;
  for (auto& in : inputs) {
    const avi::AviStream& s = in->video.Stream(0);
    avi::WriterStream vs;
    vs.strh = s.strh;
    vs.strf = s.strf;
    in->videoOut = writer.AddStream(std::move(vs));
    if (in->hasAudio) in->audioOut = writer.AddStream(AudioStreamFor(in->wave.format));
    totalFrames += s.chunks.size();
    framesMax = std::max(framesMax, s.chunks.size());
  }
  writer.EnableOpenDml();  // four cameras of twenty minutes pass 1 GB
  if (!writer.Open(output)) return {MuxEnd::kWriteError, writer.error()};

  std::vector<uint8_t> buffer;
  std::size_t framesDone = 0;
  for (std::size_t k = 0; k < framesMax; ++k) {
    if (cancel.load(std::memory_order_relaxed)) {
      result = {MuxEnd::kCancelled, ""};
      break;
    }
    for (auto& in : inputs) {
      const std::size_t frames = in->video.ChunkCount(0);
      if (k < frames) {
        if (!in->video.ReadChunk(0, k, buffer)) {
          result = {MuxEnd::kReadError, "a temporary video file can't be read"};
          break;
        }
        if (!writer.WriteChunk(in->videoOut, buffer.data(), buffer.size(), true)) {
          result = {MuxEnd::kWriteError, writer.error()};
          break;
        }
        ++framesDone;
      }
      if (in->hasAudio) {
        // The audio that belongs with the frames so far, in whole blocks; the
        // last frame takes the rest.
        const uint64_t total = in->wave.dataBytes;
        const uint64_t block = std::max<uint16_t>(1, avi::ReadLE16(in->wave.format.data() + 12));
        uint64_t upTo =
            k + 1 >= frames ? total : total * (k + 1) / std::max<std::size_t>(frames, 1) / block * block;
        upTo = std::min(upTo, total);
        if (upTo > in->audioDone) {
          const std::size_t n = std::size_t(upTo - in->audioDone);
          buffer.resize(n);
          if (!in->audio.ReadAt(kWaveHeaderBytes + in->audioDone, buffer.data(), n)) {
            result = {MuxEnd::kReadError, "a temporary audio file can't be read"};
            break;
          }
          if (!writer.WriteChunk(in->audioOut, buffer.data(), n, true)) {
            result = {MuxEnd::kWriteError, writer.error()};
            break;
          }
          in->audioDone = upTo;
        }
      }
    }
    if (result.end != MuxEnd::kDone) break;
    if (progress) progress(double(framesDone) / double(totalFrames));
  }
  if (!writer.Close() && result.end == MuxEnd::kDone) result = {MuxEnd::kWriteError, writer.error()};
  return result;
}

}  // namespace clip
