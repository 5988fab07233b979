// AVI files written by other programs (ffmpeg's and GStreamer's muxers), cut
// by `qmxplayer --extract` and packaged by `--export-evidence`: the clip's
// frames are the source's packets of the range as ffmpeg's own demuxer reads
// them, both pass `--check`, and a range without a frame is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ffmpeg_packets.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using avitest::Packet;

struct PlayerRun {
  int status = -1;
  std::string out;
};

PlayerRun Player(const std::string& args) {
  PlayerRun run;
  run.out =
      RunCommand("timeout 120 " + std::string(QMX_APP_DIR) + "/qmxplayer " + args + " 2>&1", &run.status);
  return run;
}

bool SamePackets(const std::vector<Packet>& a, const std::vector<Packet>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const Packet& x, const Packet& y) { return x.size == y.size && x.md5 == y.md5; });
}

// A writer that leaves the index out also leaves its flag clear; a file
// whose flag promises an index it lacks is a finding of its own.
void ClearIndexFlag(const fs::path& path) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  std::string head(4096, '\0');
  f.read(head.data(), std::streamsize(head.size()));
  const std::size_t avih = head.find("avih");
  ASSERT_NE(avih, std::string::npos);
  const std::size_t flags = avih + 8 + 12;
  head[flags] = char(uint8_t(head[flags]) & ~0x10u);
  f.clear();
  f.seekp(std::streamoff(flags));
  f.write(&head[flags], 1);
}

std::string StreamKinds(const fs::path& path) {
  return RunCommand("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " +
                    ShellQuote(path.string()));
}

struct ForeignCase {
  const char* name;
  std::string make;  // shell command writing OUT
  bool hideIndex;    // idx1 renamed to JUNK: the reader walks the chunks
  int64_t from, to;  // hundredths
  // The range's frames by the file's own rate, worked out by hand.
  std::size_t first, count;
  std::string streams;  // of the clip, as ffprobe lists them
  bool checkSource;     // --check of the source too (not of the gigabyte)
};

TEST(ForeignFilesExtract, ClipsHoldTheRangesPacketsAndPassTheirChecks) {
  if (!avitest::HaveProgram("ffmpeg") || !avitest::HaveProgram("gst-launch-1.0"))
    GTEST_SKIP() << "ffmpeg or gst-launch-1.0 is not installed";
  TempDir dir;
  const std::string ffmpeg = "ffmpeg -v error -y ";
  const std::string testsrc = "-f lavfi -i testsrc=size=160x120:rate=30 ";
  const std::string sine = "-f lavfi -i sine=frequency=440:sample_rate=8000 ";
  // 40 large frames copied over and over (no encoding) past 1 GB: ffmpeg
  // goes on in AVIX parts and indexes them the OpenDML way.
  const std::string seed = (dir / "seed.avi").string();
  ASSERT_EQ(
      std::system((ffmpeg + "-f lavfi -i testsrc2=size=1920x1080:rate=25 -frames:v 40 -c:v mjpeg -q:v 1 " +
                   ShellQuote(seed))
                      .c_str()),
      0);
  const ForeignCase cases[] = {
      {"ffmpeg, video only", ffmpeg + testsrc + "-t 10 -c:v mjpeg -f avi OUT", false, 200, 700, 60, 150,
       "video\n", true},
      {"ffmpeg, with sound", ffmpeg + testsrc + sine + "-t 10 -c:v mjpeg -c:a pcm_mulaw -f avi OUT", false,
       150, 655, 45, 152, "video\naudio\n", true},
      {"ffmpeg, without an index", ffmpeg + testsrc + sine + "-t 10 -c:v mjpeg -c:a pcm_mulaw -f avi OUT",
       true, 0, 500, 0, 150, "video\naudio\n", true},
      {"ffmpeg at 29.97 fps",
       ffmpeg + "-f lavfi -i testsrc=size=160x120:rate=30000/1001 -t 10 -c:v mjpeg OUT", false, 500, 900, 150,
       120, "video\n", true},
      {"GStreamer avimux",
       "gst-launch-1.0 -q videotestsrc num-buffers=300 ! video/x-raw,width=160,height=120,framerate=30/1 ! "
       "jpegenc ! avimux ! filesink location=OUT >/dev/null",
       false, 333, 667, 100, 101, "video\n", true},
      // Frame 8940 or so is the first of the AVIX part.
      {"ffmpeg OpenDML past 1 GB", ffmpeg + "-stream_loop 239 -i " + ShellQuote(seed) + " -c copy -f avi OUT",
       false, 35600, 36000, 8900, 100, "video\n", false},
  };
  for (const ForeignCase& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path source = dir / "source.avi", clip = dir / "clip.avi";
    std::string make = c.make;
    make.replace(make.find("OUT"), 3, ShellQuote(source.string()));
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    if (c.hideIndex) {
      avitest::HideTopLevelChunk(source, avi::kIdx1);
      ClearIndexFlag(source);
    }

    const PlayerRun extract =
        Player("--extract " + ShellQuote(source.string()) + " --from " + std::to_string(c.from) + " --to " +
               std::to_string(c.to) + " --cameras 1 --out " + ShellQuote(clip.string()));
    ASSERT_EQ(extract.status, 0) << extract.out;
    const std::vector<Packet> all = avitest::FfmpegPackets(source.string(), "0:v:0");
    ASSERT_GE(all.size(), c.first + c.count);
    const std::vector<Packet> range(all.begin() + long(c.first), all.begin() + long(c.first + c.count));
    const std::vector<Packet> taken = avitest::FfmpegPackets(clip.string(), "0:v:0");
    EXPECT_EQ(taken.size(), c.count);
    EXPECT_TRUE(SamePackets(taken, range));
    EXPECT_EQ(StreamKinds(clip), c.streams);

    for (const fs::path& checked :
         c.checkSource ? std::vector<fs::path>{source, clip} : std::vector<fs::path>{clip}) {
      const PlayerRun check = Player("--check " + ShellQuote(checked.string()));
      EXPECT_EQ(check.status, 0) << checked << "\n" << check.out;
      EXPECT_NE(check.out.find("Result: clean"), std::string::npos) << check.out;
    }
    fs::remove(source);
    fs::remove(clip);
  }
}

// A package of another program's file passes its own verification, and a
// range too short for any frame is refused by both modes.
TEST(ForeignFilesExtract, PackagesVerifyAndEmptyRangesAreRefused) {
  if (!avitest::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  TempDir dir;
  const std::string source = (dir / "ffmpeg.avi").string();
  ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=30 -f lavfi -i "
                         "sine=frequency=440:sample_rate=8000 -t 6 -c:v mjpeg -c:a pcm_mulaw -f avi " +
                         ShellQuote(source))
                            .c_str()),
            0);
  const PlayerRun made =
      Player("--export-evidence " + ShellQuote(source) + " --from 100 --to 400 --cameras 1 --out " +
             ShellQuote((dir / "package").string()));
  ASSERT_EQ(made.status, 0) << made.out;
  const PlayerRun verified = Player("--verify " + ShellQuote((dir / "package").string()));
  EXPECT_EQ(verified.status, 0) << verified.out;
  EXPECT_NE(verified.out.find("and 90 clip frames"), std::string::npos) << verified.out;

  // 2.01 s to 2.02 s lies between frames 60 (2.000 s) and 61 (2.033 s).
  const struct {
    const char* mode;
    std::string out;
  } refusals[] = {{"--extract", (dir / "empty.avi").string()},
                  {"--export-evidence", (dir / "empty").string()}};
  for (const auto& r : refusals) {
    const PlayerRun run = Player(std::string(r.mode) + " " + ShellQuote(source) +
                                 " --from 201 --to 202 --cameras 1 --out " + ShellQuote(r.out));
    EXPECT_EQ(run.status, 2) << r.mode << ": " << run.out;
    EXPECT_NE(run.out.find("holds no frame of camera 1"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(r.out) && fs::is_regular_file(r.out)) << r.mode;
  }
}

}  // namespace
