#include "recording_probe.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "avi/avi_format.h"

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<ProbedChunk> MoviChunks(const std::vector<uint8_t>& f) {
  std::vector<ProbedChunk> chunks;
  // Walk the RIFF level to the movi list, then its chunks.
  std::size_t at = 12;
  while (at + 12 <= f.size()) {
    const uint32_t id = avi::ReadLE32(&f[at]), size = avi::ReadLE32(&f[at + 4]);
    if (id == avi::kLIST && avi::ReadLE32(&f[at + 8]) == avi::kMovi) {
      const std::size_t end = std::min<std::size_t>(f.size(), at + 8 + size);
      std::size_t c = at + 12;
      while (c + 8 <= end) {
        const uint32_t cs = avi::ReadLE32(&f[c + 4]);
        if (c + 8 + cs > end) break;
        ProbedChunk chunk;
        chunk.id = avi::FourCCText(avi::ReadLE32(&f[c]));
        chunk.offset = c;
        chunk.data.assign(f.begin() + long(c + 8), f.begin() + long(c + 8 + cs));
        chunks.push_back(std::move(chunk));
        c += 8 + cs + (cs & 1);
      }
      return chunks;
    }
    at += 8 + size + (size & 1);
  }
  return chunks;
}

std::vector<std::vector<uint8_t>> FfmpegBgrxFrames(const std::filesystem::path& file, int videoIndex,
                                                   int width, int height) {
  const std::string raw =
      RunCommand("ffmpeg -v error -i '" + file.string() + "' -map 0:v:" + std::to_string(videoIndex) +
                 " -f rawvideo -pix_fmt bgr0 -");
  const std::size_t frameBytes = std::size_t(width) * std::size_t(height) * 4;
  std::vector<std::vector<uint8_t>> frames;
  for (std::size_t at = 0; at + frameBytes <= raw.size(); at += frameBytes)
    frames.emplace_back(raw.begin() + long(at), raw.begin() + long(at + frameBytes));
  return frames;
}

std::vector<int16_t> FfmpegAudio(const std::filesystem::path& file, int audioIndex) {
  const std::string raw =
      RunCommand("ffmpeg -v error -i '" + file.string() + "' -map 0:a:" + std::to_string(audioIndex) +
                 " -f s16le -acodec pcm_s16le -");
  std::vector<int16_t> samples(raw.size() / 2);
  std::memcpy(samples.data(), raw.data(), samples.size() * 2);
  return samples;
}

std::string Recgen(const std::string& arguments, int* status) {
  return RunCommand(std::string(QMX_TOOLS_DIR) + "/recgen " + arguments + " 2>&1", status);
}
