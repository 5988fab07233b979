// `qmxplayer --export-video` run as users run it, and what it wrote read back
// by other programs: the frame count and length, the playing, the frames
// shown (the generator's frame number in every cell of every frame), the
// index at the front and the legibility of the burned-in time.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <vector>

#include "frame_mark.h"
#include "recording_writer.h"
#include "run_command.h"
#include "snapshot/jpeg_file.h"
#include "temp_dir.h"

namespace {

constexpr int kWidth = 720, kHeight = 480, kFps = 30;
constexpr int kFirstFrame = 30;  // --from 100 at 30 fps
constexpr int kFrames = 150;     // 5 s
constexpr int kOutWidth = 1440;  // two cameras wide
constexpr int kCellRows = 960;   // two cameras high; the caption band below

struct ModeRun {
  int status = -1;
  std::string err;
};

ModeRun RunPlayer(const std::string& args, const TempDir& tmp) {
  const std::string errPath = (tmp / "stderr.txt").string();
  ModeRun run;
  RunCommand("timeout 120 " + std::string(QMX_APP_DIR) + "/qmxplayer " + args + " 2>" + ShellQuote(errPath),
             &run.status);
  std::ifstream err(errPath);
  run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return run;
}

std::string LastLine(std::string t) {
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
  const auto cut = t.find_last_of("\n\r");
  return cut == std::string::npos ? t : t.substr(cut + 1);
}

std::vector<uint8_t> Bytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ExportVideoTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    recgen::RecordingOptions o;
    o.seconds = 8;
    o.fps = kFps;
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(*dir_ / "quad.avi", o, error)) << error;
    const ModeRun run = RunPlayer("--export-video " + ShellQuote((*dir_ / "quad.avi").string()) +
                                      " --from 100 --to 600 --cameras 1,2,3,4 --out " +
                                      ShellQuote((*dir_ / "quad.mp4").string()),
                                  *dir_);
    status_ = run.status;
    err_ = run.err;
  }
  static void TearDownTestSuite() { delete dir_; }
  void SetUp() override { ASSERT_EQ(status_, 0) << err_; }
  static std::filesystem::path Out() { return *dir_ / "quad.mp4"; }

  static TempDir* dir_;
  static int status_;
  static std::string err_;
};
TempDir* ExportVideoTest::dir_ = nullptr;
int ExportVideoTest::status_ = -1;
std::string ExportVideoTest::err_;

// Each reader, on its own, finds 150 frames and five seconds.
TEST_F(ExportVideoTest, OtherProgramsReadAndPlayTheWholeExport) {
  struct Reader {
    const char* name;
    std::string command;
    std::string expected;  // in its output
  };
  const std::string file = ShellQuote(Out().string());
  const std::vector<Reader> readers{
      {"ffprobe frames",
       "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
       "stream=codec_name,profile,width,height,nb_read_frames,duration -of compact=p=0:nk=0 " +
           file,
       "codec_name=h264|profile=High|width=1440|height=996|duration=5.000000|nb_read_frames=150"},
      {"ffprobe sound",
       "ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate "
       "-of compact=p=0:nk=0 " +
           file,
       "codec_name=aac|sample_rate=48000"},
      // Both streams decoded by GStreamer, each picture counted at the sink.
      {"gstreamer",
       "gst-launch-1.0 -v filesrc location=" + file +
           " ! qtdemux name=d d.video_0 ! queue ! avdec_h264 ! fakesink name=v silent=false"
           " d.audio_0 ! queue ! avdec_aac ! fakesink name=a 2>&1 | grep -c 'GstFakeSink:v: last-message = "
           "chain'",
       "150"},
      {"mpv",
       "mpv --no-config --vo=null --ao=null --untimed --term-playing-msg='duration=${duration} "
       "frames=${estimated-frame-count}' " +
           file + " 2>&1 | tr '\\r' '\\n' | grep -a 'duration=\\|Exiting'",
       "duration=00:00:05 frames=150\nExiting... (End of file)"},
  };
  for (const Reader& r : readers) {
    int status = -1;
    const std::string output = RunCommand(r.command, &status);
    EXPECT_EQ(status, 0) << r.name << ": " << output;
    EXPECT_NE(output.find(r.expected), std::string::npos) << r.name << ": " << output;
  }
}

// A browser plays it in a page's <video> to its end: the time it shows
// advances to the duration (Debian's chromium, headless; the page closes
// the browser when the video ends or fails).
TEST_F(ExportVideoTest, ABrowserPlaysItToTheEnd) {
  if (RunCommand("command -v chromium").empty())
    GTEST_SKIP() << "chromium is not installed: browser playback not checked";
  const std::filesystem::path page = *dir_ / "play.html";
  std::ofstream(page)
      << "<!DOCTYPE html><html><body><video id=v muted src=\"" << Out().filename().string()
      << "\"></video><script>\n"
         "const v = document.getElementById('v');\n"
         "let furthest = 0;\n"
         "v.addEventListener('timeupdate', () => { furthest = Math.max(furthest, v.currentTime); });\n"
         "const report = (what) => { console.log('RESULT ' + what + ' currentTime=' + v.currentTime +\n"
         "  ' duration=' + v.duration + ' furthest=' + furthest + ' width=' + v.videoWidth); "
         "window.close(); };\n"
         "v.addEventListener('ended', () => report('ended'));\n"
         "v.addEventListener('error', () => report('error' + (v.error ? v.error.code : '')));\n"
         "v.play().catch((e) => report('refused'));\n"
         "</script></body></html>\n";
  int status = -1;
  const std::string output =
      RunCommand("timeout 90 chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir=" +
                     ShellQuote((*dir_ / "chromium").string()) +
                     " --autoplay-policy=no-user-gesture-required --enable-logging=stderr --v=0 " +
                     ShellQuote("file://" + page.string()) + " 2>&1 | grep -a -o 'RESULT [^\"]*'",
                 &status);
  ASSERT_NE(output.find("RESULT ended"), std::string::npos) << output;
  double current = -1, duration = -2, furthest = -3;
  int width = 0;
  ASSERT_EQ(std::sscanf(output.c_str(), "RESULT ended currentTime=%lf duration=%lf furthest=%lf width=%d",
                        &current, &duration, &furthest, &width),
            4)
      << output;
  EXPECT_EQ(current, duration) << output;
  EXPECT_NEAR(duration, 5.0, 0.1) << output;
  EXPECT_GT(furthest, 4.0) << "the time advanced while playing: " << output;
  EXPECT_EQ(width, kOutWidth) << output;
}

// Frame k of the export shows source frame 30 + k in all four cells.
TEST_F(ExportVideoTest, EveryFrameIsTheSourceFrameOfTheRangeInOrder) {
  const std::size_t frameBytes = std::size_t(kOutWidth) * 996 * 4;
  const std::string command =
      "ffmpeg -v error -i " + ShellQuote(Out().string()) + " -f rawvideo -pix_fmt bgra -";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe);
  std::vector<uint8_t> frame(frameBytes);
  int k = 0;
  for (; std::fread(frame.data(), 1, frame.size(), pipe.get()) == frame.size(); ++k) {
    for (int cell = 0; cell < 4; ++cell) {
      const uint8_t* at =
          frame.data() + (std::size_t(cell / 2) * kHeight * kOutWidth + (cell % 2) * kWidth) * 4;
      ASSERT_EQ(DecodeFrameNumber(at, kWidth, kHeight, kOutWidth * 4), kFirstFrame + k)
          << "export frame " << k << " camera " << cell + 1;
    }
  }
  EXPECT_EQ(k, kFrames);
}

// Players can start before the download ends: the index precedes the data.
TEST_F(ExportVideoTest, TheIndexComesBeforeTheData) {
  const std::vector<uint8_t> b = Bytes(Out());
  std::vector<std::string> boxes;
  for (std::size_t at = 0; at + 8 <= b.size();) {
    const uint64_t size =
        uint64_t(b[at]) << 24 | uint64_t(b[at + 1]) << 16 | uint64_t(b[at + 2]) << 8 | b[at + 3];
    boxes.emplace_back(reinterpret_cast<const char*>(&b[at + 4]), 4);
    if (size < 8) break;
    at += size;
  }
  const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
  const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
  ASSERT_NE(moov, boxes.end());
  ASSERT_NE(mdat, boxes.end());
  EXPECT_LT(moov, mdat);
  // Nothing else was left in the folder: no temporary file.
  for (const auto& e : std::filesystem::directory_iterator(dir_->path()))
    EXPECT_NE(e.path().filename().string().front(), '.') << e.path();
}

// x264 as ffmpeg's libx264 runs it at the same preset and quality: constant
// quality without the element's 2 Mbit/s cap, keyframes 250 frames apart
// at most (the settings x264 writes into the stream).
TEST_F(ExportVideoTest, TheEncoderRunsAtThePresetAndQualityAlone) {
  const std::vector<uint8_t> b = Bytes(Out());
  const std::string text(b.begin(), b.end());
  const std::size_t at = text.find("options: ");
  ASSERT_NE(at, std::string::npos);
  const std::string options = text.substr(at, text.find('\0', at) - at);
  for (const char* wanted : {" rc=crf ", " crf=21.0 ", " keyint=250 ", " bframes=3 "})
    EXPECT_NE(options.find(wanted), std::string::npos) << wanted << " in " << options;
  EXPECT_EQ(options.find("vbv_maxrate"), std::string::npos) << options;
}

// The burned-in time lines are the window overlay's own: the region of the
// exported frame matches the player's overlay snapshot of the same frame
// far better than the same frame without the overlay.
TEST_F(ExportVideoTest, TheTimeTextMatchesTheWindowsOverlay) {
  std::array<std::vector<uint8_t>, 2> snaps;  // with, without overlay
  int64_t shown = -1;
  for (int overlay = 0; overlay < 2; ++overlay) {
    const std::filesystem::path jpg = *dir_ / ("snap" + std::to_string(overlay) + ".jpg");
    const ModeRun run =
        RunPlayer("--snapshot " + ShellQuote((*dir_ / "quad.avi").string()) + " --at 200 --channel 1 --out " +
                      ShellQuote(jpg.string()) + (overlay == 0 ? " --overlay" : ""),
                  *dir_);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string command =
        "ffmpeg -v error -i " + ShellQuote(jpg.string()) + " -f rawvideo -pix_fmt bgra -";
    std::string raw = RunCommand(command);
    ASSERT_EQ(raw.size(), std::size_t(kWidth) * kHeight * 4);
    snaps[std::size_t(overlay)].assign(raw.begin(), raw.end());
    const int64_t n = DecodeFrameNumber(snaps[std::size_t(overlay)].data(), kWidth, kHeight, kWidth * 4);
    if (overlay == 0) shown = n;
    ASSERT_EQ(n, shown);
  }
  ASSERT_GE(shown, kFirstFrame);
  ASSERT_LT(shown, kFirstFrame + kFrames);
  const std::string command = "ffmpeg -v error -i " + ShellQuote(Out().string()) + " -vf \"select=eq(n\\," +
                              std::to_string(shown - kFirstFrame) +
                              "),crop=720:480:0:0\" -frames:v 1 -f rawvideo -pix_fmt bgra -";
  const std::string raw = RunCommand(command);
  ASSERT_EQ(raw.size(), std::size_t(kWidth) * kHeight * 4);
  const auto* cell = reinterpret_cast<const uint8_t*>(raw.data());
  ASSERT_EQ(DecodeFrameNumber(cell, kWidth, kHeight, kWidth * 4), shown);
  // The time and trigger lines at the foot of the picture.
  auto meanDifference = [&](const std::vector<uint8_t>& other) {
    double sum = 0;
    int n = 0;
    for (int y = 420; y < 470; ++y)
      for (int x = 0; x < 480; ++x)
        for (int c = 0; c < 3; ++c, ++n)
          sum += std::abs(int(cell[(y * kWidth + x) * 4 + c]) - other[(y * kWidth + x) * 4 + c]);
    return sum / n;
  };
  const double withOverlay = meanDifference(snaps[0]), without = meanDifference(snaps[1]);
  EXPECT_LT(withOverlay, 8.0) << "with " << withOverlay << ", without " << without;
  EXPECT_GT(without, 4 * withOverlay) << "with " << withOverlay << ", without " << without;
  std::cout << "time text: differs by " << withOverlay << " from the window's overlay, by " << without
            << " from the bare frame\n";
}

// The refusals: each exits with its status and one line, writes nothing,
// and leaves the recording as it was.
TEST(ExportVideoModeTest, RefusalsWriteNothingAndSpareTheRecording) {
  TempDir dir;
  recgen::RecordingOptions o;
  o.width = 360;
  o.height = 240;
  o.seconds = 2;
  o.video = {true, true, false, false};
  o.audio = {true, true, false, false};
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "two.avi", o, error)) << error;
  std::filesystem::create_hard_link(dir / "two.avi", dir / "alias.mp4");
  std::filesystem::create_directory(dir / "out");
  const std::vector<uint8_t> before = Bytes(dir / "two.avi");
  struct Case {
    const char* name;
    std::string args;
    int status;
    std::string reason;
  };
  const std::string file = ShellQuote((dir / "two.avi").string());
  const std::string out = ShellQuote((dir / "out" / "x.mp4").string());
  const std::vector<Case> cases{
      {"outputIsTheSource",
       file + " --from 0 --to 100 --cameras 1 --out " + ShellQuote((dir / "alias.mp4").string()), 2,
       "would replace the recording"},
      {"reversedRange", file + " --from 100 --to 50 --cameras 1 --out " + out, 2,
       "the range ends before it starts"},
      {"missingCamera", file + " --from 0 --to 100 --cameras 3 --out " + out, 2, "has no camera 3"},
      {"pastTheEnd", file + " --from 0 --to 900 --cameras 1 --out " + out, 2, "before --to"},
      {"badLayout", file + " --from 0 --to 100 --cameras 1 --layout tiles --out " + out, 2, "usage:"},
      {"noSuchFolder",
       file + " --from 0 --to 100 --cameras 1 --out " + ShellQuote((dir / "none" / "x.mp4").string()), 3,
       "none/x.mp4"},
  };
  for (const Case& c : cases) {
    const ModeRun run = RunPlayer("--export-video " + c.args, dir);
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    EXPECT_NE(LastLine(run.err).find(c.reason), std::string::npos) << c.name << ": " << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out")) << c.name;
  }
  EXPECT_EQ(Bytes(dir / "two.avi"), before);
  EXPECT_EQ(Bytes(dir / "alias.mp4"), before);
}

}  // namespace
