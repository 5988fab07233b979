// A redacted export through the player's binary: a rectangle over camera 2
// from 1 s to 3 s is the fill in every exported frame of that span, and the
// picture is untouched outside it; the export names its list; the recording
// and a byte-exact clip stay as they were, whatever list is saved for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "evidence/sha256.h"
#include "export/redaction.h"
#include "export/redaction_store.h"
#include "frame_mark.h"
#include "recording_writer.h"
#include "run_command.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 360, kHeight = 240, kFps = 10, kOutWidth = 720, kOutHeight = 516;
// The shape, in camera 2's picture: clear of the generator's marks and the
// overlay's lines. Checked a few pixels inside its edges (the codec blurs them).
constexpr double kX = 0.75, kY = 0.25, kW = 0.2, kH = 0.2;
constexpr int kX0 = 270 + 3, kX1 = 342 - 3, kY0 = 60 + 3, kY1 = 108 - 3;

std::string Sha256(const fs::path& p) {
  std::string hex, error;
  EXPECT_TRUE(evidence::Sha256OfFile(p.string(), hex, error)) << p << ": " << error;
  return hex;
}

std::string Player(const std::string& env, const std::string& args, int& status) {
  return RunCommand(env + " timeout 120 " + std::string(QMX_APP_DIR) + "/qmxplayer " + args + " 2>&1",
                    &status);
}

// Every decoded frame of `mp4` as BGRA.
std::vector<std::vector<uint8_t>> Frames(const fs::path& mp4) {
  const std::string command =
      "ffmpeg -v error -i " + ShellQuote(mp4.string()) + " -f rawvideo -pix_fmt bgra -";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::vector<std::vector<uint8_t>> frames;
  std::vector<uint8_t> frame(std::size_t(kOutWidth) * kOutHeight * 4);
  while (pipe && std::fread(frame.data(), 1, frame.size(), pipe.get()) == frame.size())
    frames.push_back(frame);
  return frames;
}

// Mean of the shape's inner pixels of camera 2 (the top right cell), and
// the largest channel value there.
struct Region {
  double mean = 0;
  int brightest = 0;
};
Region Measure(const std::vector<uint8_t>& frame, const std::vector<uint8_t>* other = nullptr) {
  Region r;
  long sum = 0, n = 0;
  for (int y = kY0; y < kY1; ++y)
    for (int x = kX0; x < kX1; ++x)
      for (int c = 0; c < 3; ++c, ++n) {
        const std::size_t at = (std::size_t(y) * kOutWidth + std::size_t(kWidth + x)) * 4 + std::size_t(c);
        const int v = other ? std::abs(int(frame[at]) - int((*other)[at])) : frame[at];
        sum += v;
        r.brightest = std::max(r.brightest, v);
      }
  r.mean = double(sum) / double(n);
  return r;
}

TEST(RedactionExportTest, TheShapeIsFilledInItsSpanOnlyAndNothingElseChanges) {
  TempDir dir;
  recgen::RecordingOptions o;
  o.width = kWidth;
  o.height = kHeight;
  o.fps = kFps;
  o.seconds = 5;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", o, error)) << error;
  const std::string env = "XDG_DATA_HOME=" + ShellQuote((dir / "data").string());
  const std::string source = ShellQuote((dir / "trip.avi").string());
  const std::string sourceHash = Sha256(dir / "trip.avi");
  int status = -1;
  std::string output = Player(env,
                              "--extract " + source + " --from 0 --to 500 --cameras 1,2,3,4 --out " +
                                  ShellQuote((dir / "before.avi").string()),
                              status);
  ASSERT_EQ(status, 0) << output;

  redaction::RedactionList list;
  redaction::Redaction shape;
  shape.camera = 1;
  redaction::SetKeyframe(shape, {100, {kX, kY, kW, kH}});
  redaction::SetKeyframe(shape, {300, {kX, kY, kW, kH}});
  list.items.push_back(shape);
  std::ofstream(dir / "plates.json") << redaction::ToJson(list);
  // The same list saved for the recording, as the window keeps it.
  setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  ASSERT_TRUE(
      redaction::SaveRedactionList(redaction::RedactionListPath({(dir / "trip.avi").string()}), list, error))
      << error;
  unsetenv("XDG_DATA_HOME");
  EXPECT_FALSE(fs::is_empty(dir / "data" / "qmxplayer" / "redactions"));

  for (const char* name : {"plain.mp4", "redacted.mp4"}) {
    const bool redacted = std::string(name) == "redacted.mp4";
    output = Player(env,
                    "--export-video " + source + " --from 0 --to 500 --cameras 1,2,3,4" +
                        (redacted ? " --redactions " + ShellQuote((dir / "plates.json").string()) : "") +
                        " --out " + ShellQuote((dir / name).string()),
                    status);
    ASSERT_EQ(status, 0) << name << ": " << output;
  }
  const auto plain = Frames(dir / "plain.mp4"), redacted = Frames(dir / "redacted.mp4");
  ASSERT_EQ(plain.size(), 50u);
  ASSERT_EQ(redacted.size(), 50u);
  for (std::size_t k = 0; k < redacted.size(); ++k) {
    ASSERT_EQ(DecodeFrameNumber(redacted[k].data() + kWidth * 4, kWidth, kHeight, kOutWidth * 4), int64_t(k));
    const bool inSpan = k * 10 >= 100 && k * 10 <= 300;  // frame k is at 10 k hundredths
    const Region fill = Measure(redacted[k]), change = Measure(redacted[k], &plain[k]);
    if (inSpan) {
      EXPECT_LE(fill.brightest, 12) << "frame " << k << " shows the solid fill";
    } else {
      EXPECT_GT(fill.mean, 40) << "frame " << k << " shows the picture";
      EXPECT_LT(change.mean, 3.0) << "frame " << k << " is the plain export's, within the codec's tolerance";
    }
  }
  // The export says it is redacted and by which list.
  const std::string tags =
      RunCommand("ffprobe -v error -show_entries format_tags=title,comment -of compact=p=0 " +
                 ShellQuote((dir / "redacted.mp4").string()));
  EXPECT_NE(tags.find("Redacted by plates.json (SHA-256 " + Sha256(dir / "plates.json") + ")"),
            std::string::npos)
      << tags;
  EXPECT_EQ(RunCommand("ffprobe -v error -show_entries format_tags=comment -of compact=p=0 " +
                       ShellQuote((dir / "plain.mp4").string()))
                .find("Redacted"),
            std::string::npos);

  // The recording and a clip of it are byte for byte what they were.
  output = Player(env,
                  "--extract " + source + " --from 0 --to 500 --cameras 1,2,3,4 --out " +
                      ShellQuote((dir / "after.avi").string()),
                  status);
  ASSERT_EQ(status, 0) << output;
  EXPECT_EQ(Sha256(dir / "trip.avi"), sourceHash);
  EXPECT_EQ(Sha256(dir / "after.avi"), Sha256(dir / "before.avi"));

  // A list that is none: refused with one line, nothing written.
  std::ofstream(dir / "bad.json")
      << "{\"format\": \"qmxplayer-redactions\", \"redactions\": [{\"camera\": 7}]}";
  output =
      Player(env,
             "--export-video " + source + " --from 0 --to 500 --cameras 1 --redactions " +
                 ShellQuote((dir / "bad.json").string()) + " --out " + ShellQuote((dir / "bad.mp4").string()),
             status);
  EXPECT_EQ(status, 2) << output;
  EXPECT_NE(
      output.find("qmxplayer: " + (dir / "bad.json").string() + ": redaction 1: \"camera\" must be 1 to 4"),
      std::string::npos)
      << output;
  EXPECT_FALSE(fs::exists(dir / "bad.mp4"));
}

}  // namespace
