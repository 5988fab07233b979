// The writer and the project's reader agree: a stream copied out of a
// generated recording, the way clip extraction copies a camera, comes back
// with its header, format and frames unchanged.

#include <gtest/gtest.h>

#include "avi/avi_reader.h"
#include "avi/avi_writer.h"
#include "recording_writer.h"
#include "temp_dir.h"

namespace {

TEST(AviRoundTrip, CopiedCameraStreamKeepsHeaderFormatAndFrames) {
  TempDir dir;
  recgen::RecordingOptions o;
  o.seconds = 0.5;
  o.video = {false, true, false, true};
  o.audio = o.video;
  o.width = 360, o.height = 240;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "src.avi", o, error)) << error;

  avi::AviReader source;
  ASSERT_TRUE(source.Open((dir / "src.avi").string())) << source.Error();
  ASSERT_EQ(source.StreamCount(), 4u);
  EXPECT_EQ(source.Stream(0).name, "Stream 02");
  EXPECT_EQ(source.Stream(3).name, "Stream 07");
  const int video = source.NthStreamOfType(avi::kVids, 1);  // camera 4
  ASSERT_EQ(video, 2);
  const avi::AviStream& in = source.Stream(std::size_t(video));
  ASSERT_EQ(source.ChunkCount(std::size_t(video)), 15u);
  EXPECT_EQ(in.header.length, 15u);

  avi::MainHeader main = source.Header();
  avi::AviWriter writer(main);
  avi::WriterStream copy;
  copy.strh = in.strh;
  copy.strf = in.strf;
  ASSERT_EQ(writer.AddStream(copy), 0);
  ASSERT_TRUE(writer.Open(dir / "copy.avi"));
  std::vector<uint8_t> frame;
  for (std::size_t k = 0; k < 15; ++k) {
    ASSERT_TRUE(source.ReadChunk(std::size_t(video), k, frame));
    ASSERT_TRUE(writer.WriteChunk(0, frame.data(), frame.size()));
  }
  ASSERT_TRUE(writer.Close()) << writer.error();

  avi::AviReader copied;
  ASSERT_TRUE(copied.Open((dir / "copy.avi").string())) << copied.Error();
  ASSERT_EQ(copied.StreamCount(), 1u);
  EXPECT_EQ(copied.Stream(0).strh, in.strh);
  EXPECT_EQ(copied.Stream(0).strf, in.strf);
  EXPECT_EQ(copied.Header().totalFrames, 15u);
  std::vector<uint8_t> a, b;
  for (std::size_t k = 0; k < 15; ++k) {
    ASSERT_TRUE(source.ReadChunk(std::size_t(video), k, a));
    ASSERT_TRUE(copied.ReadChunk(0, k, b));
    EXPECT_EQ(a, b) << k;
  }
}

}  // namespace
