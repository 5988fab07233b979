#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>

#include "app/command_line.h"
#include "app/mode_status.h"
#include "app/window_arguments.h"
#include "base/mode_arguments.h"
#include "recording_writer.h"
#include "temp_dir.h"

namespace {

TEST(CommandLine, RecordingPathAndSwitches) {
  struct Case {
    std::vector<std::string> args;
    std::optional<std::string> path;
    bool exportGraph;
  };
  const std::vector<Case> cases = {
      {{"/opt/qmx/qmxplayer"}, std::nullopt, false},
      {{"qmxplayer", "/Rec/Trip-001.AVI"}, "/Rec/Trip-001.AVI", false},  // case kept
      {{"qmxplayer", "notes.txt", "/d/A.avi", "/d/B.avi"}, "/d/A.avi", false},
      {{"qmxplayer", "/d/Movie.Avi.bak"}, "/d/Movie.Avi.bak", false},
      {{"/x.avi/qmxplayer"}, std::nullopt, false},  // the program itself never counts
      {{"qmxplayer", "exportfiltergraph", "/d/a.avi"}, "/d/a.avi", true},
      {{"qmxplayer", "--exportfiltergraph"}, std::nullopt, true},
      {{"qmxplayer", "ExportFilterGraph"}, std::nullopt, false},  // case-sensitive
      {{"exportfiltergraph"}, std::nullopt, false},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.recordingPath, c.path) << c.args.back();
    EXPECT_EQ(line.exportFilterGraph, c.exportGraph) << c.args.back();
  }
}

TEST(CommandLine, ModeTakesTheArgumentsAfterIt) {
  CommandLine line = ParseCommandLine({"qmxplayer", "--info", "/d/Trip.avi"});
  EXPECT_EQ(line.mode, "--info");
  EXPECT_EQ(line.modeArgs, std::vector<std::string>{"/d/Trip.avi"});

  line = ParseCommandLine({"qmxplayer", "--snapshot", "a.avi", "2", "out.jpg"});
  EXPECT_EQ(line.mode, "--snapshot");
  EXPECT_EQ(line.modeArgs.size(), 3u);

  line = ParseCommandLine({"qmxplayer", "--", "x"});
  EXPECT_EQ(line.mode, "");
}

}  // namespace

TEST(ModeArguments, OptionValuesAreTakenWholeOrRefused) {
  struct Row {
    const char* text;
    bool centisOk;
    int64_t centis;
  };
  for (const Row& r :
       {Row{"0", true, 0}, Row{"360000", true, 360000}, Row{"-1", false, 0}, Row{"12x", false, 0},
        Row{"", false, 0}, Row{" 12", false, 0}, Row{"99999999999999999999", false, 0},
        // Seconds and the status clock's form.
        Row{"12.5s", true, 1250}, Row{"12s", true, 1200}, Row{"0.07s", true, 7}, Row{"1.234s", false, 0},
        Row{"s", false, 0}, Row{".5s", false, 0}, Row{"1:02:03.45", true, 372345}, Row{"0:00:07", true, 700},
        Row{"0:00:07.5", true, 750}, Row{"0:60:00", false, 0}, Row{"0:00:60", false, 0},
        Row{"0:0:07", false, 0}, Row{"0:00:7", false, 0}, Row{"1:02", false, 0}, Row{"1:02:03:04", false, 0},
        Row{"-0:00:01", false, 0}}) {
    int64_t value = -7;
    EXPECT_EQ(ParseCentis(r.text, value), r.centisOk) << r.text;
    if (r.centisOk) {
      EXPECT_EQ(value, r.centis) << r.text;
    }
  }
  struct Cameras {
    const char* text;
    bool ok;
    std::array<bool, 4> chosen;
  };
  for (const Cameras& c :
       {Cameras{"1,2,3,4", true, {true, true, true, true}}, Cameras{"4,2", true, {false, true, false, true}},
        Cameras{"2,2", true, {false, true, false, false}}, Cameras{"", false, {}}, Cameras{"0", false, {}},
        Cameras{"5", false, {}}, Cameras{"1, 2", false, {}}, Cameras{"12", false, {}}}) {
    std::array<bool, 4> chosen{};
    EXPECT_EQ(ParseCameraList(c.text, chosen), c.ok) << c.text;
    EXPECT_EQ(chosen, c.chosen) << c.text;
  }
}

// qmxplayer RECORDING --at POS: every form the modes take, with the clock
// times found in a generated recording (14:05:09 UTC at its start, local
// eight hours before, 5 frames a second), anywhere among the window's switches.
TEST(WindowArguments, AtTakesTheModesPositionsAndRefusesTheRest) {
  TempDir dir;
  const std::string file = (dir / "trip.avi").string();
  recgen::RecordingOptions o;
  o.width = 160, o.height = 120, o.fps = 5, o.seconds = 4;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(file, o, error)) << error;
  struct Row {
    std::vector<std::string> args;  // after the program
    int status;
    int64_t at;        // when accepted
    const char* told;  // part of the one line told when refused
  };
  const Row rows[] = {
      {{file, "--at", "1250"}, kExitDone, 1250, ""},
      {{file, "--at", "12.5s"}, kExitDone, 1250, ""},
      {{"--quad", "--at", "0:00:12.50", file, "--full-screen"}, kExitDone, 1250, ""},
      {{file, "--at", "0:00:03"}, kExitDone, 300, ""},
      {{file, "--at", "@06:05:10"}, kExitDone, 101, ""},  // inside the frame found
      {{file, "--at", "@06:05:11.5"}, kExitDone, 261, ""},
      {{file, "--at", "@14:05:12Z"}, kExitDone, 301, ""},
      {{file, "--at", "12x"}, kExitBadInput, 0, "qmxplayer: --at: \"12x\" is no position; a position is"},
      {{file, "--at", "-1"}, kExitBadInput, 0, "\"-1\" is no position"},
      {{file, "--at", "1.234s"}, kExitBadInput, 0, "\"1.234s\" is no position"},
      {{file, "--at", "@24:00:00"}, kExitBadInput, 0, "\"@24:00:00\" is no position"},
      {{file, "--at", "@14:5:10"}, kExitBadInput, 0, "\"@14:5:10\" is no position"},
      {{file, "--at", "--quad"}, kExitBadInput, 0, "\"--quad\" is no position"},
      {{file, "--at"}, kExitBadInput, 0, "qmxplayer: --at: needs a position"},
      {{"--at", "100"}, kExitBadInput, 0, "qmxplayer: --at: needs a recording"},
      {{file, "--at", "@06:06:00"}, kExitBadInput, 0, "trip.avi: 06:06:00 local is not in the recording"},
      {{file, "--at", "@14:05:20Z"}, kExitBadInput, 0, "trip.avi: 14:05:20 UTC is not in the recording"},
  };
  for (const Row& r : rows) {
    std::vector<std::string> args{"qmxplayer"};
    args.insert(args.end(), r.args.begin(), r.args.end());
    const std::string shown = args.back() + " (" + std::to_string(args.size()) + ")";
    PlayerWindowStart start;
    std::ostringstream err;
    ASSERT_EQ(ParseWindowArguments(ParseCommandLine(args), args, start, err), r.status) << shown << err.str();
    if (r.status == kExitDone) {
      EXPECT_EQ(start.atCentis, std::optional<int64_t>(r.at)) << shown;
      EXPECT_EQ(start.recordingPath, std::optional<std::string>(file)) << shown;
      EXPECT_EQ(err.str(), "") << shown;
    } else {
      const std::string told = err.str();
      EXPECT_NE(told.find(r.told), std::string::npos) << shown << ": " << told;
      EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
    }
  }
  PlayerWindowStart start;
  std::ostringstream err;
  const std::vector<std::string> args{"qmxplayer",          "--full-screen", file,     "--quad",
                                      "--screenshot-after", "2.5",           "out.png"};
  ASSERT_EQ(ParseWindowArguments(ParseCommandLine(args), args, start, err), kExitDone);
  EXPECT_TRUE(start.quad && start.fullScreen);
  EXPECT_EQ(start.atCentis, std::nullopt);
  EXPECT_EQ(start.screenshotSeconds, 2.5);
  EXPECT_EQ(start.screenshotPath, "out.png");
}
