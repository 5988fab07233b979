#include <gtest/gtest.h>

#include "app/command_line.h"

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
