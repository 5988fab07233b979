#include "metadata/metadata_sample.h"

#include <cmath>
#include <cstring>

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

}  // namespace

MetadataSample UnpackMetadataSample(const uint8_t* bytes) {
  namespace o = metadata_offset;
  MetadataSample s;
  std::memcpy(s.magic, bytes + o::kMagic, 4);
  s.utcSeconds = ReadU32(bytes + o::kUtcSeconds);
  s.localSeconds = ReadU32(bytes + o::kLocalSeconds);
  s.milliseconds = int32_t(ReadU32(bytes + o::kMilliseconds));
  s.triggerBits = ReadU32(bytes + o::kTriggerBits);
  s.satellites = int32_t(ReadU32(bytes + o::kSatellites));
  s.latitude = int32_t(ReadU32(bytes + o::kLatitude));
  s.longitude = int32_t(ReadU32(bytes + o::kLongitude));
  s.speed = ReadU32(bytes + o::kSpeed);
  s.accelX = int8_t(bytes[o::kAccelX]);
  s.accelY = int8_t(bytes[o::kAccelY]);
  s.accelZ = int8_t(bytes[o::kAccelZ]);
  return s;
}

void PackMetadataSample(const MetadataSample& s, uint8_t* out) {
  namespace o = metadata_offset;
  std::memset(out, 0, kMetadataSampleBytes);
  std::memcpy(out + o::kMagic, s.magic, 4);
  WriteU32(out + o::kUtcSeconds, s.utcSeconds);
  WriteU32(out + o::kLocalSeconds, s.localSeconds);
  WriteU32(out + o::kMilliseconds, uint32_t(s.milliseconds));
  WriteU32(out + o::kTriggerBits, s.triggerBits);
  WriteU32(out + o::kSatellites, uint32_t(s.satellites));
  WriteU32(out + o::kLatitude, uint32_t(s.latitude));
  WriteU32(out + o::kLongitude, uint32_t(s.longitude));
  WriteU32(out + o::kSpeed, s.speed);
  out[o::kAccelX] = uint8_t(s.accelX);
  out[o::kAccelY] = uint8_t(s.accelY);
  out[o::kAccelZ] = uint8_t(s.accelZ);
}

bool HasMetadataMagic(const uint8_t* bytes) {
  return std::memcmp(bytes, "META", 4) == 0;
}

double PackedCoordinateToDegrees(int32_t packed) {
  const double v = packed / 1000000.0;
  const double degrees = std::trunc(v);
  return degrees + (v - degrees) * 100.0 / 60.0;
}
