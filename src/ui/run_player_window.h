#pragma once

#include "app/command_line.h"

// Shows the player's main window and runs it until it closes; opens the
// recording the command line names. Returns the process's exit status.
//
// The hidden switch `--screenshot-after SECONDS OUT.png` (for the demo and
// for checks without a person) saves a picture of the window that many
// seconds after the recording opened and then closes it.
int RunPlayerWindow(int argc, char** argv, const CommandLine& line);

// The window's lines of `qmxplayer --help`.
const char* PlayerWindowUsage();
