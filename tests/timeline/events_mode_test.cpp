// `qmxplayer --events`, run as users run it, on generated trips whose
// incidents are known.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct PlayerRun {
  int status = -1;
  std::string out, err;
};

PlayerRun Events(const std::string& args, const TempDir& dir) {
  const fs::path errPath = dir / "stderr.txt";
  PlayerRun run;
  run.out = RunCommand("XDG_CONFIG_HOME=" + ShellQuote((dir / "config").string()) + " timeout 60 " +
                           std::string(QMX_APP_DIR) + "/qmxplayer --events " + args + " 2>" +
                           ShellQuote(errPath.string()),
                       &run.status);
  std::ifstream err(errPath);
  run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return run;
}

recgen::RecordingOptions Trip() {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.fps = 10;
  o.seconds = 3;
  o.audio = {false, false, false, false};
  o.triggerNames = {"Brake", "Left, Turn", "Right \"Turn\""};
  o.scripted = true;
  // Left turn at 1.0 s; the brake from 2.8 s on across the file boundary at
  // 3 s (one event); hard braking at 4.0 s in the second file.
  std::string error = recgen::ParseIncidents("t:1@1.0-2.5,t:0@2.8-3.5,y:-7@4.0,x:3@4.5", o.incidents);
  EXPECT_EQ(error, "");
  return o;
}

TEST(EventsMode, PrintsTheTripsEventsAsCsv) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", 2, Trip(), error)) << error;
  const std::string path = ShellQuote((dir / "Trip-001.avi").string());

  struct Row {
    std::string args;
    std::string want;
  };
  const std::string header = "time,file,kind,name,value\r\n";
  const std::vector<Row> rows = {
      {path, header + "100,Trip-001.avi,trigger,\"Left, Turn\",on\r\n" +
                 "280,Trip-001.avi,trigger,Brake,on\r\n" + "400,Trip-002.avi,harsh motion,Y,-0.7\r\n"},
      {path + " --threshold 3",
       header + "100,Trip-001.avi,trigger,\"Left, Turn\",on\r\n" + "280,Trip-001.avi,trigger,Brake,on\r\n" +
           "400,Trip-002.avi,harsh motion,Y,-0.7\r\n" + "450,Trip-002.avi,harsh motion,X,+0.3\r\n"},
      {path + " --threshold 8",
       header + "100,Trip-001.avi,trigger,\"Left, Turn\",on\r\n" + "280,Trip-001.avi,trigger,Brake,on\r\n"},
      // The second file alone starts its own timeline; the brake is on from its first record.
      {ShellQuote((dir / "Trip-002.avi").string()),
       header + "0,Trip-002.avi,trigger,Brake,on\r\n" + "100,Trip-002.avi,harsh motion,Y,-0.7\r\n"},
  };
  for (const Row& row : rows) {
    const PlayerRun run = Events(row.args, dir);
    EXPECT_EQ(run.status, 0) << row.args << ": " << run.err;
    EXPECT_EQ(run.out, row.want) << row.args;
    EXPECT_EQ(run.err, "") << row.args;
  }
}

TEST(EventsMode, BadInputGetsOneLineAndStatus2) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", 2, Trip(), error)) << error;
  // The second file cut in half: the first file's events stay written.
  const fs::path second = dir / "Trip-002.avi";
  fs::resize_file(second, fs::file_size(second) / 2);
  recgen::RecordingOptions lines = Trip();
  lines.kind = 1;
  lines.header380 = true;
  lines.textLines = recgen::TextLines::kA;
  ASSERT_TRUE(recgen::WriteRecording(dir / "lines.avi", lines, error)) << error;
  std::ofstream(dir / "garbage.avi") << std::string(9000, 'g');

  struct Row {
    std::string args;
    int status;
    std::string outStart;  // what stdout starts with
    std::string errHas;    // a piece of the one stderr line
  };
  const std::string header = "time,file,kind,name,value\r\n";
  const std::vector<Row> rows = {
      {ShellQuote((dir / "Trip-001.avi").string()), 2, header + "100,Trip-001.avi,trigger", "ends early"},
      {ShellQuote((dir / "lines.avi").string()), 0, header, "text-line recording"},
      {ShellQuote((dir / "garbage.avi").string()), 2, "", "garbage.avi: "},
      {ShellQuote((dir / "missing.avi").string()), 2, "", "missing.avi: "},
      {ShellQuote(dir.path().string()), 2, "", ": "},
      {"", 2, "", "usage"},
      {ShellQuote((dir / "lines.avi").string()) + " --threshold 0", 2, "", "--threshold"},
      {ShellQuote((dir / "lines.avi").string()) + " --threshold x4", 2, "", "--threshold"},
      {ShellQuote((dir / "lines.avi").string()) + " second.avi", 2, "", "usage"},
  };
  for (const Row& row : rows) {
    const PlayerRun run = Events(row.args, dir);
    EXPECT_EQ(run.status, row.status) << row.args;
    EXPECT_EQ(run.out.substr(0, row.outStart.size()), row.outStart) << row.args;
    if (row.outStart.empty()) {
      EXPECT_EQ(run.out, "") << row.args;
    }
    EXPECT_NE(run.err.find(row.errHas), std::string::npos) << row.args << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << row.args << ": " << run.err;
  }
}

}  // namespace
