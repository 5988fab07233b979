#pragma once

#include <cstdint>
#include <optional>
#include <string>

class CQMXPlayerDlg;

// What the command line asks of the window.
struct PlayerWindowStart {
  // The recording to open, exactly as given (paths are case-sensitive here).
  std::optional<std::string> recordingPath;
  // Every built playback pipeline is saved as a Graphviz file.
  bool exportFilterGraph = false;
  bool quad = false;        // all four cameras
  bool fullScreen = false;  // only the pictures and the banner
  // Where on the recording's timeline it opens (a clock time already found).
  std::optional<int64_t> atCentis;
  // --screenshot-after: seconds after the opening, and the picture's file.
  double screenshotSeconds = 0;
  std::string screenshotPath;
};

// Does what `start` asks of a shown window: opens the recording, then goes
// to its position and view.
void StartPlayerWindow(CQMXPlayerDlg& window, const PlayerWindowStart& start);

// Shows the player's main window and runs it until it closes; opens the
// recording the command line names. Returns the process's exit status.
// `argc` and `argv` go to the application object.
//
// The hidden switch `--screenshot-after SECONDS OUT.png` (for the demo and
// for checks without a person) saves a picture of the window that many
// seconds after the recording opened and then closes it.
int RunPlayerWindow(int argc, char** argv, const PlayerWindowStart& start);

// The window's lines of `qmxplayer --help`.
const char* PlayerWindowUsage();
