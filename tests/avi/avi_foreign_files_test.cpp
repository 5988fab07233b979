// Files written by other programs (ffmpeg's and GStreamer's AVI muxers): each
// chunk the reader returns must be the packet ffmpeg's demuxer reports.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "avi/avi_reader.h"
#include "ffmpeg_packets.h"
#include "md5.h"
#include "temp_dir.h"

namespace {

using namespace avi;
using namespace avitest;

// Hides chunks from the reader by renaming them JUNK: every `id` in the
// first MiB (where the stream headers and their indx live), or the top-level
// chunk `id` of the first RIFF (idx1).
void HideHeaderChunks(const std::filesystem::path& path, const char* id) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  std::string head(1 << 20, '\0');
  f.read(head.data(), std::streamsize(head.size()));
  head.resize(std::size_t(f.gcount()));
  f.clear();
  for (std::size_t at = head.find(id); at != std::string::npos; at = head.find(id, at + 4)) {
    f.seekp(std::streamoff(at));
    f.write("JUNK", 4);
  }
}

bool SameChunks(const AviReader& a, const AviReader& b) {
  if (a.StreamCount() != b.StreamCount()) return false;
  for (std::size_t s = 0; s < a.StreamCount(); ++s) {
    const auto &x = a.Stream(s).chunks, &y = b.Stream(s).chunks;
    if (x.size() != y.size()) return false;
    for (std::size_t k = 0; k < x.size(); ++k) {
      if (x[k].offset != y[k].offset || x[k].size != y[k].size) return false;
    }
  }
  return true;
}

std::filesystem::path Ffmpeg(const TempDir& dir, const std::string& name, const std::string& arguments) {
  const auto path = dir / name;
  const std::string command = "ffmpeg -v error " + arguments + " -f avi " + ShellQuote(path.string());
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return path;
}

// Each file is read as written, then with its indexes hidden one after the
// other; every path must give the chunks ffmpeg's own demuxer gives.
TEST(AviForeignFiles, FfmpegFilesThroughEveryIndexPath) {
  if (!HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  TempDir dir;
  // 40 large MJPEG frames, copied over and over by ffmpeg (no encoding) into
  // a file past 1 GB.
  const auto seed =
      Ffmpeg(dir, "seed.avi", "-f lavfi -i testsrc2=size=1920x1080:rate=25 -frames:v 40 -c:v mjpeg -q:v 1");
  const struct {
    const char* name;
    std::string arguments;
    std::size_t frames;
    std::size_t md5Step;
    std::vector<IndexSource> sources;  // as written, without indx, without indx and idx1
  } files[] = {
      {"small MJPEG",
       "-f lavfi -i testsrc=size=160x120:rate=10 -t 2 -c:v mjpeg",
       20,
       1,
       {IndexSource::kIdx1, IndexSource::kIdx1, IndexSource::kScan}},
      // Past 1 GB ffmpeg continues in AVIX parts and writes OpenDML indexes.
      {"MJPEG over 1 GB, OpenDML",
       "-stream_loop 239 -i " + ShellQuote(seed.string()) + " -c copy",
       9600,
       61,
       {IndexSource::kOpenDml, IndexSource::kIdx1, IndexSource::kScan}},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const auto path = Ffmpeg(dir, "f.avi", "-y " + file.arguments);
    AviReader written;
    ASSERT_TRUE(written.Open(path.string())) << written.Error();
    EXPECT_EQ(written.Index(), file.sources[0]);
    ASSERT_EQ(written.StreamCount(), 1u);
    const std::vector<Packet> expected = FfmpegPackets(path.string(), "0:v:0");
    ASSERT_EQ(expected.size(), file.frames);
    ExpectSameAsFfmpeg(written, 0, expected, file.md5Step);

    HideHeaderChunks(path, "indx");
    AviReader withoutIndx;
    ASSERT_TRUE(withoutIndx.Open(path.string())) << withoutIndx.Error();
    EXPECT_EQ(withoutIndx.Index(), file.sources[1]);
    EXPECT_TRUE(SameChunks(written, withoutIndx));

    HideTopLevelChunk(path, kIdx1);
    AviReader withoutAny;
    ASSERT_TRUE(withoutAny.Open(path.string())) << withoutAny.Error();
    EXPECT_EQ(withoutAny.Index(), file.sources[2]);
    EXPECT_TRUE(SameChunks(written, withoutAny));
    std::filesystem::remove(path);
  }
}

TEST(AviForeignFiles, FfmpegVideoAndAudioStreamsKeepTheirOrder) {
  if (!HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  TempDir dir;
  const auto path =
      Ffmpeg(dir, "av.avi",
             "-f lavfi -i testsrc=size=160x120:rate=10 -f lavfi -i sine=frequency=440:sample_rate=8000 "
             "-f lavfi -i testsrc2=size=96x64:rate=10 -t 2 -map 0:v -map 1:a -map 2:v -c:v mjpeg "
             "-c:a pcm_mulaw");
  AviReader reader;
  ASSERT_TRUE(reader.Open(path.string())) << reader.Error();
  ASSERT_EQ(reader.StreamCount(), 3u);
  EXPECT_EQ(reader.NthStreamOfType(kVids, 0), 0);
  EXPECT_EQ(reader.NthStreamOfType(kAuds, 0), 1);
  EXPECT_EQ(reader.NthStreamOfType(kVids, 1), 2);
  EXPECT_EQ(ReadLE16(reader.Stream(1).strf.data()), kWaveFormatMuLaw);
  EXPECT_EQ(ReadLE32(reader.Stream(2).strf.data() + 4), 96u);  // biWidth of the second video stream

  ExpectSameAsFfmpeg(reader, 0, FfmpegPackets(path.string(), "0:v:0"));
  ExpectSameAsFfmpeg(reader, 2, FfmpegPackets(path.string(), "0:v:1"));
  // Audio packets may be cut differently by ffmpeg's demuxer; the bytes must match.
  std::vector<uint8_t> audio, chunk;
  for (std::size_t k = 0; k < reader.ChunkCount(1); ++k) {
    ASSERT_TRUE(reader.ReadChunk(1, k, chunk));
    audio.insert(audio.end(), chunk.begin(), chunk.end());
  }
  EXPECT_EQ(audio.size(), 16000u);  // 2 s of 8 kHz mu-law
  const std::string ffmpegAudio = RunCommand("ffmpeg -v error -i " + ShellQuote(path.string()) +
                                             " -map 0:a:0 -c copy -f md5 - 2>/dev/null");
  EXPECT_EQ(ffmpegAudio, "MD5=" + avitest::Md5Hex(audio.data(), audio.size()) + "\n");
  // Interleaving: file order alternates between streams, not stream after stream.
  const std::vector<FileChunk> order = reader.ChunksInFileOrder();
  ASSERT_GT(order.size(), 3u);
  std::size_t firstOfStream2 = order.size(), lastOfStream0 = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (order[i].stream == 2) firstOfStream2 = std::min(firstOfStream2, i);
    if (order[i].stream == 0) lastOfStream0 = i;
  }
  EXPECT_LT(firstOfStream2, lastOfStream0);
}

TEST(AviForeignFiles, GstreamerAvimux) {
  if (!HaveProgram("gst-launch-1.0") || !HaveProgram("ffmpeg"))
    GTEST_SKIP() << "gst-launch-1.0 or ffmpeg missing";
  TempDir dir;
  const auto path = dir / "gst.avi";
  ASSERT_EQ(std::system(("gst-launch-1.0 -q videotestsrc num-buffers=30 ! video/x-raw,width=160,height=120 ! "
                         "jpegenc ! avimux ! filesink location=" +
                         ShellQuote(path.string()) + " >/dev/null 2>&1")
                            .c_str()),
            0);
  const std::vector<Packet> expected = FfmpegPackets(path.string(), "0:v:0");
  ASSERT_EQ(expected.size(), 30u);
  for (bool hideIndexes : {false, true}) {
    SCOPED_TRACE(hideIndexes ? "without indexes" : "as written");
    if (hideIndexes) {
      HideHeaderChunks(path, "indx");
      HideTopLevelChunk(path, kIdx1);
    }
    AviReader reader;
    ASSERT_TRUE(reader.Open(path.string())) << reader.Error();
    EXPECT_EQ(reader.Index(), hideIndexes ? IndexSource::kScan : IndexSource::kIdx1);
    ExpectSameAsFfmpeg(reader, reader.NthStreamOfType(kVids, 0), expected);
  }
}

}  // namespace
