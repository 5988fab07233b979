// The project's own test recordings, read back: every variant the generator
// writes must give its streams, lengths and frames to the reader, and the
// frames must be the ones ffmpeg's demuxer finds.

#include <gtest/gtest.h>

#include <filesystem>

#include "avi/avi_length.h"
#include "avi/avi_reader.h"
#include "ffmpeg_packets.h"
#include "temp_dir.h"

namespace {

using namespace avi;
using namespace avitest;

const std::string kRecgen = std::string(QMX_TOOLS_DIR) + "/recgen";

TEST(AviRecgenFiles, EveryVariantReadsBack) {
  if (!std::filesystem::exists(kRecgen)) GTEST_SKIP() << "recgen is not built";
  const struct {
    const char* options;
    std::size_t streams;
    int videoStreams;
    int frames;
    int64_t centis;
    bool metadataStream;
  } cases[] = {
      {"--seconds 2 --fps 10", 8, 4, 20, 200, false},
      {"--seconds 1 --fps 15 --meta both --config-at end", 9, 4, 15, 100, true},
      {"--seconds 1 --fps 10 --one-stream-header --channels 1,3 --audio none", 2, 2, 10, 100, false},
      {"--seconds 2 --fps 15 --kind 1 --header380", 2, 1, 30, 200, false},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string path = (dir / "r.avi").string();
    ASSERT_EQ(std::system((kRecgen + " write '" + path + "' " + c.options).c_str()), 0);

    const AviLength length = ReadAviLength(path);
    EXPECT_EQ(length.videoStreams, c.videoStreams);
    EXPECT_EQ(length.lengthCentis, c.centis);

    AviReader reader;
    ASSERT_TRUE(reader.Open(path)) << reader.Error();
    ASSERT_EQ(reader.StreamCount(), c.streams);  // whatever avih claims
    const int meta = reader.NthStreamOfType(kTxts, 0);
    EXPECT_EQ(meta >= 0, c.metadataStream);
    if (meta >= 0) {
      ASSERT_EQ(reader.ChunkCount(std::size_t(meta)), std::size_t(c.frames));
      ChunkEntry sample;
      ASSERT_TRUE(reader.Chunk(std::size_t(meta), 0, sample));
      EXPECT_EQ(sample.size, 56u);
    }
    for (int v = 0; v < c.videoStreams; ++v) {
      const int stream = reader.NthStreamOfType(kVids, v);
      ASSERT_GE(stream, 0);
      EXPECT_EQ(reader.ChunkCount(std::size_t(stream)), std::size_t(c.frames));
      if (HaveProgram("ffmpeg")) {
        SCOPED_TRACE(v);
        ExpectSameAsFfmpeg(reader, stream, FfmpegPackets(path, "0:v:" + std::to_string(v)));
      }
    }
  }
}

}  // namespace
