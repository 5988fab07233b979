#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "ui/run_player_window.h"

// The window's switches, which may stand anywhere on the line: --quad,
// --full-screen, --at POS and --screenshot-after SECONDS OUT.png. POS is any
// position the modes take (ClockPositions): hundredths, "12.5s" or
// "h:mm:ss[.ff]" on the timeline, or the recording's clock "@HH:MM:SS[.fff]"
// local or "@HH:MM:SS[.fff]Z" UTC, found in its metadata before the window
// opens. Other arguments are left to the window (the recording, the export
// switch). `args` are the process arguments, args[0] being the program.
//
// Fills `start` (its recording and export switch from `line`) and returns
// kExitDone, or kExitBadInput after one line on `err` that names the value
// and the forms taken, or the recording and why the time is not in it.
int ParseWindowArguments(const CommandLine& line, const std::vector<std::string>& args,
                         PlayerWindowStart& start, std::ostream& err);
