#include <gtest/gtest.h>

#include <array>

#include "app/command_line.h"
#include "base/mode_arguments.h"

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
