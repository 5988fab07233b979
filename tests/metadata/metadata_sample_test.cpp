#include <gtest/gtest.h>

#include <cstring>

#include "metadata/metadata_sample.h"

TEST(MetadataSample, PackThenUnpackKeepsEveryFieldAtItsOffset) {
  MetadataSample s;
  s.utcSeconds = 1298988309;
  s.localSeconds = 0xFFFFFFF0u;
  s.milliseconds = 7;
  s.triggerBits = 0x805;
  s.satellites = -1;
  s.latitude = 49164567;
  s.longitude = -122393000;
  s.speed = 100;
  s.accelX = -25;
  s.accelY = 13;
  s.accelZ = 127;
  uint8_t bytes[kMetadataSampleBytes];
  std::memset(bytes, 0xAA, sizeof bytes);
  PackMetadataSample(s, bytes);

  EXPECT_TRUE(HasMetadataMagic(bytes));
  EXPECT_EQ(bytes[8], 0x15);  // 1298988309 = 0x4D6CF815, little-endian
  EXPECT_EQ(bytes[11], 0x4D);
  EXPECT_EQ(bytes[50], uint8_t(-25));
  EXPECT_EQ(bytes[4], 0);  // uninterpreted bytes are zero
  EXPECT_EQ(bytes[55], 0);

  const MetadataSample back = UnpackMetadataSample(bytes);
  EXPECT_EQ(back.utcSeconds, s.utcSeconds);
  EXPECT_EQ(back.localSeconds, s.localSeconds);
  EXPECT_EQ(back.milliseconds, s.milliseconds);
  EXPECT_EQ(back.triggerBits, s.triggerBits);
  EXPECT_EQ(back.satellites, s.satellites);
  EXPECT_EQ(back.latitude, s.latitude);
  EXPECT_EQ(back.longitude, s.longitude);
  EXPECT_EQ(back.speed, s.speed);
  EXPECT_EQ(back.accelX, s.accelX);
  EXPECT_EQ(back.accelY, s.accelY);
  EXPECT_EQ(back.accelZ, s.accelZ);
}
