#pragma once

#include <optional>
#include <string>

// What the command line asks of the window.
struct PlayerWindowStart {
  // The recording to open, exactly as given (paths are case-sensitive here).
  std::optional<std::string> recordingPath;
  // Every built playback pipeline is saved as a Graphviz file.
  bool exportFilterGraph = false;
};

// Shows the player's main window and runs it until it closes; opens the
// recording the command line names. Returns the process's exit status.
//
// The hidden switch `--screenshot-after SECONDS OUT.png` (for the demo and
// for checks without a person) saves a picture of the window that many
// seconds after the recording opened and then closes it.
int RunPlayerWindow(int argc, char** argv, const PlayerWindowStart& start);

// The window's lines of `qmxplayer --help`.
const char* PlayerWindowUsage();
