// qmxplayer RECORDING --at POS through the real window: the command line's
// parsing (a timeline position, or a clock time found in the recording)
// and the window opening there.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <sstream>

#include "app/command_line.h"
#include "app/window_arguments.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"
#include "temp_dir.h"
#include "ui/core/commands.h"
#include "ui/player_window.h"
#include "ui/run_player_window.h"

TEST(WindowStart, AtOpensTheRecordingThere) {
  TempDir dir;
  const std::string file = (dir / "trip.avi").string();
  recgen::RecordingOptions o;
  o.width = 320, o.height = 240, o.fps = 5, o.seconds = 8;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(file, o, error)) << error;
  const struct {
    const char* at;
    int64_t centis;  // where the window stands once opened
  } rows[] = {{"@06:05:14", 501}, {"@14:05:12Z", 301}, {"0:00:04.00", 400}};
  for (const auto& row : rows) {
    const std::vector<std::string> args{"qmxplayer", file, "--at", row.at};
    PlayerWindowStart start;
    std::ostringstream err;
    ASSERT_EQ(ParseWindowArguments(ParseCommandLine(args), args, start, err), 0) << err.str();
    CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
    window.show();
    QSignalSpy opened(&window, &CQMXPlayerDlg::OpenFinished);
    StartPlayerWindow(window, start);
    ASSERT_TRUE(opened.wait(30000)) << row.at;
    ASSERT_EQ(opened.front().front().toInt(), kGraphOk);
    window.RunCommand(kCmdPause);
    // Paused just after the seek: at the position, or a frame or two on.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          const int64_t at = window.Engine()->GetPositionCentis();
          return at >= row.centis - 1 && at < row.centis + 60;
        },
        15000))
        << row.at << ": " << window.Engine()->GetPositionCentis();
  }
}
