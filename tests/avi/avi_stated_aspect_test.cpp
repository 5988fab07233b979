// The display aspect a file's OpenDML video properties state, as ffmpeg's
// muxer writes them and as the project's writer does for ffmpeg to read.

#include <gtest/gtest.h>

#include <cstdlib>

#include "avi/avi_reader.h"
#include "avi/avi_writer.h"
#include "ffmpeg_packets.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

using avitest::HaveProgram;

TEST(AviStatedAspect, FfmpegsVideoPropertiesReadAsTheirAspect) {
  if (!HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  TempDir dir;
  const struct {
    const char* aspect;  // ffmpeg's -aspect, "" for none
    double want;
  } cases[] = {{"16:9", 16.0 / 9}, {"4:3", 4.0 / 3}, {"", 1.25}};  // without -aspect, its square pixels
  for (const auto& c : cases) {
    SCOPED_TRACE(c.aspect);
    const auto path = dir / "ffmpeg.avi";
    const std::string command = std::string(
                                    "ffmpeg -v error -y -f lavfi -i testsrc=size=720x576:rate=25 -t 0.2 "
                                    "-c:v mjpeg ") +
                                (*c.aspect ? std::string("-aspect ") + c.aspect + " " : "") + "-f avi " +
                                ShellQuote(path.string());
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    avi::AviReader reader;
    ASSERT_TRUE(reader.Open(path.string())) << reader.Error();
    EXPECT_NEAR(avi::StatedFrameAspect(reader.Stream(0).vprp), c.want, 1e-9);
  }
}

TEST(AviStatedAspect, WrittenPropertiesAreWhatFfprobeShowsAndDamageStatesNone) {
  if (!HaveProgram("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
  TempDir dir;
  const auto path = dir / "ours.avi";
  // One stream with the properties, from the seed ffmpeg encodes.
  const std::string seed = (dir / "seed.avi").string();
  const std::string encode =
      "ffmpeg -v error -f lavfi -i testsrc=size=720x576:rate=25 -t 0.2 -c:v mjpeg -f avi " + ShellQuote(seed);
  ASSERT_EQ(std::system(encode.c_str()), 0);
  avi::AviReader source;
  ASSERT_TRUE(source.Open(seed)) << source.Error();
  avi::AviWriter writer(source.Header());
  avi::WriterStream stream;
  stream.strh = source.Stream(0).strh;
  stream.strf = source.Stream(0).strf;
  stream.vprp = avi::MakeVideoProperties(720, 576, 16, 9, 25);
  ASSERT_EQ(writer.AddStream(stream), 0);
  ASSERT_TRUE(writer.Open(path)) << writer.error();
  std::vector<uint8_t> frame;
  for (std::size_t k = 0; k < source.ChunkCount(0); ++k) {
    ASSERT_TRUE(source.ReadChunk(0, k, frame));
    ASSERT_TRUE(writer.WriteChunk(0, frame.data(), frame.size())) << writer.error();
  }
  ASSERT_TRUE(writer.Close()) << writer.error();
  EXPECT_EQ(
      RunCommand(
          "ffprobe -v error -select_streams v:0 -show_entries stream=display_aspect_ratio -of csv=p=0 " +
          ShellQuote(path.string())),
      "16:9\n");
  avi::AviReader ours;
  ASSERT_TRUE(ours.Open(path.string())) << ours.Error();
  EXPECT_NEAR(avi::StatedFrameAspect(ours.Stream(0).vprp), 16.0 / 9, 1e-9);

  // Short, empty and absurd headers state nothing.
  std::vector<uint8_t> cut = avi::MakeVideoProperties(720, 576, 16, 9, 25);
  cut.resize(23);
  for (const std::vector<uint8_t>& bad :
       {cut, std::vector<uint8_t>{}, avi::MakeVideoProperties(720, 576, 0, 9, 25),
        avi::MakeVideoProperties(720, 576, 100, 1, 25)})
    EXPECT_EQ(avi::StatedFrameAspect(bad), 0);
}

}  // namespace
