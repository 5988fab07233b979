#pragma once

// The 46-byte WAV header the camera copy writes in front of the audio bytes
// it cuts out of a recording: RIFF, WAVE, an 18-byte "fmt " chunk that is the
// source stream's wave format record copied unchanged, and "data".
//
//   0 "RIFF"  4 RIFF size (38 + data size)  8 "WAVE"  12 "fmt "  16 18
//   20..37 the first 18 bytes of the source format  38 "data"  42 data size
//   46 audio bytes

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace clip {

inline constexpr std::size_t kWaveHeaderBytes = 46;
inline constexpr std::size_t kWaveFormatRecordBytes = 18;
inline constexpr std::size_t kWaveRiffSizeOffset = 4;
inline constexpr std::size_t kWaveDataSizeOffset = 42;

// The header for `dataBytes` audio bytes. A format block shorter than 18
// bytes is zero-padded; a longer one contributes its first 18 bytes.
std::array<uint8_t, kWaveHeaderBytes> MakeWaveHeader(const std::vector<uint8_t>& sourceFormat,
                                                     uint32_t dataBytes);

// What a header written by MakeWaveHeader says; false when the bytes are not
// one (wrong tags, wrong format size).
struct WaveHeaderFields {
  std::vector<uint8_t> format;  // the 18-byte record
  uint32_t dataBytes = 0;
};
bool ParseWaveHeader(const uint8_t* bytes, std::size_t size, WaveHeaderFields& out);

}  // namespace clip
