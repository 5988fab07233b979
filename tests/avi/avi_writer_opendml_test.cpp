// The writer's OpenDML parts, read back by our reader and by ffmpeg: every
// chunk in its place, key-frame flags kept, idx1 for the first part only.
#include <gtest/gtest.h>

#include <fstream>

#include "avi/avi_reader.h"
#include "avi/avi_writer.h"
#include "ffmpeg_packets.h"
#include "md5.h"
#include "temp_dir.h"

namespace {

using namespace avi;

std::vector<uint8_t> Payload(std::size_t size, uint32_t seed) {
  std::vector<uint8_t> p(size);
  for (std::size_t i = 0; i < size; ++i) p[i] = uint8_t((i * 131 + seed * 7919) >> 3);
  return p;
}

// The top-level RIFF parts of a file: "AVI " first, then "AVIX"s.
std::vector<std::string> RiffParts(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> parts;
  uint8_t head[12];
  uint64_t at = 0;
  while (in.seekg(std::streamoff(at)) && in.read(reinterpret_cast<char*>(head), 12)) {
    if (ReadLE32(head) != kRIFF) break;
    parts.push_back(FourCCText(ReadLE32(head + 8)));
    at += 8 + ReadLE32(head + 4);
  }
  return parts;
}

struct OdmlCase {
  const char* name;
  bool openDml;
  uint64_t riffBytes;
  int frames;
  std::size_t parts;  // at least this many RIFF parts; 1 means exactly one
};

class AviWriterOpenDml : public ::testing::TestWithParam<OdmlCase> {};

TEST_P(AviWriterOpenDml, EveryChunkReadsBackFromItsPart) {
  const OdmlCase& c = GetParam();
  TempDir dir;
  const std::string path = (dir / "o.avi").string();
  MainHeader main;
  main.microSecPerFrame = 100000;
  main.width = 64;
  main.height = 48;
  AviWriter w(main);
  StreamHeader vh;
  vh.type = kVids;
  vh.handler = kMJPG;
  vh.scale = 1000;
  vh.rate = 10000;
  StreamHeader ah;
  ah.type = kAuds;
  ah.scale = 1;
  ah.rate = 8000;
  ah.sampleSize = 1;
  ASSERT_EQ(w.AddStream(MakeWriterStream(vh, MakeBitmapInfo(64, 48, kMJPG, 24, 9216))), 0);
  ASSERT_EQ(w.AddStream(MakeWriterStream(ah, MakeWaveFormat(kWaveFormatMuLaw, 1, 8000, 8, 1))), 1);
  if (c.openDml) w.EnableOpenDml(c.riffBytes);
  ASSERT_TRUE(w.Open(path));
  std::vector<std::vector<uint8_t>> video, audio;
  for (int k = 0; k < c.frames; ++k) {
    video.push_back(Payload(3000 + std::size_t(k % 7) * 101, uint32_t(k)));
    audio.push_back(Payload(800 + std::size_t(k % 2), uint32_t(k + 5000)));
    ASSERT_TRUE(w.WriteChunk(0, video.back().data(), video.back().size(), k % 5 == 0)) << w.error();
    ASSERT_TRUE(w.WriteChunk(1, audio.back().data(), audio.back().size())) << w.error();
  }
  ASSERT_TRUE(w.Close()) << w.error();

  const std::vector<std::string> parts = RiffParts(path);
  ASSERT_FALSE(parts.empty());
  EXPECT_EQ(parts[0], "AVI ");
  if (c.parts == 1) {
    EXPECT_EQ(parts.size(), 1u);
  }
  EXPECT_GE(parts.size(), c.parts);
  for (std::size_t i = 1; i < parts.size(); ++i) EXPECT_EQ(parts[i], "AVIX");
  AviReader r;
  ASSERT_TRUE(r.Open(path)) << r.Error();
  EXPECT_EQ(r.Index(), c.openDml ? IndexSource::kOpenDml : IndexSource::kIdx1);
  ASSERT_EQ(r.ChunkCount(0), video.size());
  ASSERT_EQ(r.ChunkCount(1), audio.size());
  std::vector<uint8_t> chunk;
  for (std::size_t k = 0; k < video.size(); ++k) {
    ASSERT_TRUE(r.ReadChunk(0, k, chunk));
    ASSERT_EQ(chunk, video[k]) << k;
    EXPECT_EQ(r.Stream(0).chunks[k].keyframe, k % 5 == 0) << k;
    ASSERT_TRUE(r.ReadChunk(1, k, chunk));
    ASSERT_EQ(chunk, audio[k]) << k;
  }
  EXPECT_EQ(r.Stream(0).header.length, uint32_t(c.frames));
  // avih counts the frames of the first part, as AVI 1.0 readers see them.
  if (c.parts == 1) {
    EXPECT_EQ(r.Header().totalFrames, uint32_t(c.frames));
  } else {
    EXPECT_LT(r.Header().totalFrames, uint32_t(c.frames));
  }

  if (!avitest::HaveProgram("ffmpeg")) GTEST_SKIP() << "no ffmpeg";
  const auto packets = avitest::FfmpegPackets(path, "0:v:0");
  ASSERT_EQ(packets.size(), video.size());
  for (std::size_t k = 0; k < video.size(); ++k)
    EXPECT_EQ(packets[k].md5, avitest::Md5Hex(video[k].data(), video[k].size()));
}

INSTANTIATE_TEST_SUITE_P(Parts, AviWriterOpenDml,
                         ::testing::Values(OdmlCase{"Plain", false, 0, 40, 1},
                                           OdmlCase{"OpenDmlInOnePart", true, AviWriter::kOpenDmlRiffBytes,
                                                    40, 1},
                                           OdmlCase{"OpenDmlInSeveralParts", true, 64 * 1024, 120, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
