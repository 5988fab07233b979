#pragma once

#include <cstddef>
#include <cstdint>

// The 56-byte per-frame record the DVR stores with every compressed video
// frame (at byte 24 of the JPEG) and sends with every live frame. On disk it
// is little-endian with no padding; this struct is the decoded form, so its
// in-memory layout does not matter.
struct MetadataSample {
  char magic[4] = {'M', 'E', 'T', 'A'};
  uint32_t utcSeconds = 0;    // seconds since 1970-01-01, split without time-zone conversion
  uint32_t localSeconds = 0;  // same, already shifted to local time by the DVR
  int32_t milliseconds = 0;   // 0..999, shared by both times
  uint32_t triggerBits = 0;   // bit i = trigger input i (0..10); higher bits ignored
  int32_t satellites = 0;
  int32_t latitude = 0;   // DD.MMmmmm × 1,000,000; negative = south
  int32_t longitude = 0;  // same packing; negative = west
  uint32_t speed = 0;     // km/h
  int8_t accelX = 0;      // tenths of g
  int8_t accelY = 0;
  int8_t accelZ = 0;
};

inline constexpr std::size_t kMetadataSampleBytes = 56;
// A sample of this many bytes or more is a compressed frame carrying its
// record at kFrameMetadataOffset; a sample of exactly 56 bytes is a record.
inline constexpr std::size_t kFrameMinimumBytes = 5000;
inline constexpr std::size_t kFrameMetadataOffset = 24;

// Byte offsets of the fields inside the 56-byte record.
namespace metadata_offset {
inline constexpr std::size_t kMagic = 0;
inline constexpr std::size_t kUtcSeconds = 8;
inline constexpr std::size_t kLocalSeconds = 12;
inline constexpr std::size_t kMilliseconds = 16;
inline constexpr std::size_t kTriggerBits = 20;
inline constexpr std::size_t kSatellites = 28;
inline constexpr std::size_t kLatitude = 32;
inline constexpr std::size_t kLongitude = 36;
inline constexpr std::size_t kSpeed = 40;
inline constexpr std::size_t kAccelX = 50;
inline constexpr std::size_t kAccelY = 51;
inline constexpr std::size_t kAccelZ = 52;
}  // namespace metadata_offset

// Reads a record from exactly kMetadataSampleBytes bytes at `bytes`.
MetadataSample UnpackMetadataSample(const uint8_t* bytes);

// Writes `sample` as kMetadataSampleBytes bytes at `out`; uninterpreted bytes
// are written as zero.
void PackMetadataSample(const MetadataSample& sample, uint8_t* out);

// True when the record at `bytes` starts with the "META" magic.
bool HasMetadataMagic(const uint8_t* bytes);

// Decimal degrees from the recorder's DD.MMmmmm × 1,000,000 packing
// (negative = south / west).
double PackedCoordinateToDegrees(int32_t packed);
