#include "wav_tone.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Reads the S16LE samples of a WAV file's "data" chunk.
std::vector<int16_t> ReadWavSamples(const std::filesystem::path& path, int& rate, int& channels) {
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<int16_t> out;
  rate = 0;
  channels = 0;
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t size = b[at + 4] | b[at + 5] << 8 | b[at + 6] << 16 | uint32_t(b[at + 7]) << 24;
    const std::string id(reinterpret_cast<const char*>(&b[at]), 4);
    if (id == "fmt " && at + 16 <= b.size()) {
      channels = b[at + 10] | b[at + 11] << 8;
      rate = b[at + 12] | b[at + 13] << 8 | b[at + 14] << 16;
    }
    if (id == "data") {
      const size_t end = std::min(b.size(), at + 8 + size);
      for (size_t i = at + 8; i + 1 < end; i += 2) out.push_back(int16_t(b[i] | b[i + 1] << 8));
      break;
    }
    at += 8 + size + (size & 1);
  }
  return out;
}

}  // namespace

ToneMeasure MeasureTone(const std::filesystem::path& wav, double hz) {
  int rate = 0, channels = 0;
  const std::vector<int16_t> s = ReadWavSamples(wav, rate, channels);
  ToneMeasure m;
  if (s.empty() || rate <= 0 || channels <= 0) return m;
  m.ok = true;
  m.channels = channels;
  double energy = 0, re = 0, im = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = double(i / channels) / rate;
    energy += double(s[i]) * s[i];
    re += s[i] * std::cos(2 * M_PI * hz * t);
    im += s[i] * std::sin(2 * M_PI * hz * t);
  }
  m.rms = std::sqrt(energy / s.size());
  if (energy > 0) m.toneShare = 2 * (re * re + im * im) / s.size() / energy;
  return m;
}
