#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "engine/recording_layout.h"
#include "temp_dir.h"

namespace {

std::vector<uint8_t> Header(uint16_t listSize, uint16_t width, uint16_t height) {
  std::vector<uint8_t> h(72, 0);
  h[16] = uint8_t(listSize), h[17] = uint8_t(listSize >> 8);
  h[64] = uint8_t(width), h[65] = uint8_t(width >> 8);
  h[68] = uint8_t(height), h[69] = uint8_t(height >> 8);
  return h;
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

constexpr DvrLayout kFour = DvrLayout::kFourChannel, kLines = DvrLayout::kTwoChannelTextLines,
                    kStacked = DvrLayout::kTwoChannelStacked, kWide = DvrLayout::kTwoChannelWide;

TEST(DetectDvrKind, HeaderRules) {
  struct Case {
    uint16_t listSize, width, height;
    DvrLayout kind;
  };
  const std::vector<Case> cases = {
      {380, 720, 576, kFour},      {380, 0x12C0, 0x01E0, kStacked},  // 380 with height byte 0xE0, any width
      {380, 0x40, 0x1234, kLines}, {380, 0x140, 0xF0, kLines},       // width byte 0x40 (320 = 0x140)
      {380, 0x280, 0xF0, kWide},   {380, 0x80, 0, kWide},
      {212, 320, 480, kStacked},   {212, 320, 240, kFour},  // without the 380 list
      {212, 640, 240, kWide},      {212, 640, 480, kFour},
      {212, 720, 480, kFour},      {0, 0, 0, kFour}};
  for (const Case& c : cases) {
    const auto h = Header(c.listSize, c.width, c.height);
    EXPECT_EQ(DetectDvrKindFromHeader(h.data(), h.size()), c.kind)
        << c.listSize << " " << c.width << "x" << c.height;
  }
}

TEST(DetectDvrKind, ShortAndMissingFilesAreFourChannel) {
  const auto h = Header(212, 320, 480);
  EXPECT_EQ(DetectDvrKindFromHeader(h.data(), 69), kFour);  // the height's high byte is missing
  EXPECT_EQ(DetectDvrKindFromHeader(h.data(), 66), kFour);
  EXPECT_EQ(DetectDvrKindFromHeader(nullptr, 0), kFour);
  TempDir dir;
  EXPECT_EQ(DetectDvrKind(dir / "missing.avi"), kFour);
  WriteFile(dir / "short.avi", std::vector<uint8_t>(h.begin(), h.begin() + 66));
  EXPECT_EQ(DetectDvrKind(dir / "short.avi"), kFour);
  WriteFile(dir / "full.avi", h);
  EXPECT_EQ(DetectDvrKind(dir / "full.avi"), kStacked);
}

TEST(DetectH264, MarkerPositionAndFileSize) {
  struct Case {
    std::size_t fileSize;
    std::ptrdiff_t markerAt;  // -1: none
    bool h264;
  };
  const std::vector<Case> cases = {{1001, 0, true},    {1001, 989, true},  {1001, 990, false},
                                   {5000, 996, false}, {1000, 10, false},  // 1,000 bytes is never H264
                                   {5000, -1, false},  {5000, 1500, false}};
  TempDir dir;
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes(c.fileSize, 'x');
    if (c.markerAt >= 0) std::memcpy(bytes.data() + c.markerAt, "H264", 4);
    WriteFile(dir / "f.avi", bytes);
    EXPECT_EQ(DetectH264(dir / "f.avi"), c.h264) << c.fileSize << " " << c.markerAt;
  }
  std::vector<uint8_t> lower(2000, 'x');
  std::memcpy(lower.data() + 5, "h264", 4);
  WriteFile(dir / "f.avi", lower);
  EXPECT_FALSE(DetectH264(dir / "f.avi"));
  EXPECT_FALSE(DetectH264(dir / "missing.avi"));
}

TEST(PinRules, StreamTypes) {
  struct Case {
    std::string name;
    bool video, audio, metadata;
  };
  const std::vector<Case> cases = {
      {"Stream 00", true, false, false}, {"Stream 05", false, true, false}, {"Stream 06", true, false, false},
      {"Stream 08", false, false, true}, {"Camera 4", true, false, false},  {"Video", true, false, false},
      {"Audio 1", false, true, false},   {"my camera", true, false, false},  // "CAMERA" upper-cased
      {"Main Audio", false, true, true},                                     // "M" first, "AUDIO" inside
      {"Text", false, false, true},      {"abcdM", false, false, true},      // fifth character "M"
      {"ABCDC", true, true, false},      {"Cam", true, false, false},        // shorter than five
      {"", false, false, false},         {"x", false, false, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(PinMatchesStreamType(c.name, kVideoStream), c.video) << c.name;
    EXPECT_EQ(PinMatchesStreamType(c.name, kAudioStream), c.audio) << c.name;
    EXPECT_EQ(PinMatchesStreamType(c.name, kMetadataStream), c.metadata) << c.name;
    EXPECT_TRUE(PinMatchesStreamType(c.name, kAnyStream)) << c.name;
    EXPECT_FALSE(PinMatchesStreamType(c.name, 9)) << c.name;
  }
}

TEST(PinRules, Channels) {
  struct Case {
    std::string name;
    int channel;  // PinChannel
  };
  const std::vector<Case> cases = {
      {"Stream 00", 0},   {"Stream 01", 0}, {"Stream 05", 2},    {"Stream 07", 3},
      {"Stream 08", -1},  // the metadata stream belongs to no channel
      {"Camera 4", 2},    {"Camera 1", 0},  {"Camera (A) 3", 2}, {"Audio (B) 1", 0},
      {"Camera (x)", -1},  // ")" last: digit value 0, minus one
      {"Video", -1},      {"", -1}};
  for (const Case& c : cases) EXPECT_EQ(PinChannel(c.name), c.channel) << c.name;
  // Names no rule applies to belong to every channel.
  for (int ch = 0; ch < 4; ++ch) EXPECT_TRUE(PinMatchesChannel("Video", ch));
  EXPECT_FALSE(PinMatchesChannel("Stream 05", 1));
  EXPECT_EQ(StreamPinName(5), "Stream 05");
  EXPECT_EQ(StreamPinName(12), "Stream 12");
  EXPECT_EQ(StreamPinName(3, "Camera 4"), "Camera 4");  // the stream's own name wins
}

TEST(FindPin, ByChannelByOrdinalAndDirection) {
  using D = PinDirection;
  const std::vector<PinDescription> pins = {{D::kInput, "input"},      {D::kOutput, "Stream 00"},
                                            {D::kOutput, "Stream 01"}, {D::kOutput, "Stream 04"},
                                            {D::kOutput, "Stream 05"}, {D::kOutput, "Stream 08"}};
  EXPECT_EQ(FindPin(pins, D::kInput, 0, kAnyStream, false), 0);
  EXPECT_EQ(FindPin(pins, D::kOutput, 2, kAnyStream, false), 3);  // the third output pin
  EXPECT_EQ(FindPin(pins, D::kOutput, 9, kAnyStream, false), -1);
  EXPECT_EQ(FindPin(pins, D::kOutput, 0, kVideoStream, true), 1);
  EXPECT_EQ(FindPin(pins, D::kOutput, 1, kVideoStream, true), -1);  // channel 1 has no video
  EXPECT_EQ(FindPin(pins, D::kOutput, 2, kVideoStream, true), 3);
  EXPECT_EQ(FindPin(pins, D::kOutput, 2, kAudioStream, true), 4);
  EXPECT_EQ(FindPin(pins, D::kOutput, 1, kVideoStream, false), 3);  // second video pin
  EXPECT_EQ(FindPin(pins, D::kOutput, 0, kMetadataStream, false), 5);
  EXPECT_EQ(FindPin(pins, D::kInput, 0, kVideoStream, true), -1);
  EXPECT_EQ(FindPin({}, D::kOutput, 0, kAnyStream, false), -1);
}

}  // namespace
