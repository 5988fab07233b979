#include "clip/wave_file_header.h"

#include <algorithm>
#include <cstring>

#include "avi/avi_format.h"

namespace clip {

std::array<uint8_t, kWaveHeaderBytes> MakeWaveHeader(const std::vector<uint8_t>& sourceFormat,
                                                     uint32_t dataBytes) {
  std::array<uint8_t, kWaveHeaderBytes> h{};
  std::memcpy(h.data(), "RIFF", 4);
  avi::WriteLE32(h.data() + kWaveRiffSizeOffset, uint32_t(kWaveHeaderBytes - 8) + dataBytes);
  std::memcpy(h.data() + 8, "WAVEfmt ", 8);
  avi::WriteLE32(h.data() + 16, uint32_t(kWaveFormatRecordBytes));
  std::copy_n(sourceFormat.begin(), std::min(sourceFormat.size(), kWaveFormatRecordBytes), h.begin() + 20);
  std::memcpy(h.data() + 38, "data", 4);
  avi::WriteLE32(h.data() + kWaveDataSizeOffset, dataBytes);
  return h;
}

bool ParseWaveHeader(const uint8_t* bytes, std::size_t size, WaveHeaderFields& out) {
  if (size < kWaveHeaderBytes || std::memcmp(bytes, "RIFF", 4) != 0 ||
      std::memcmp(bytes + 8, "WAVEfmt ", 8) != 0 || avi::ReadLE32(bytes + 16) != kWaveFormatRecordBytes ||
      std::memcmp(bytes + 38, "data", 4) != 0)
    return false;
  out.format.assign(bytes + 20, bytes + 20 + kWaveFormatRecordBytes);
  out.dataBytes = avi::ReadLE32(bytes + kWaveDataSizeOffset);
  return true;
}

}  // namespace clip
