#pragma once

#include "app/command_line.h"

// `qmxplayer --snapshot FILE --at CENTIS --channel N --out OUT.jpg [--overlay]`:
// opens the recording (with the numbered run FILE starts), goes to CENTIS
// hundredths of a second on its timeline, and writes channel N's (1..4)
// frame there as a JPEG, with the metadata drawn on it when --overlay is
// given. Headless. Exit status 0; 2 with a message on stderr for a bad
// command line, a recording that does not open (the open's own message) or a
// channel without a frame. Creates its own application object: call it
// before any other exists. `argc`/`argv` go to the application object;
// the mode reads `line` (its modeArgs and the graph export switch).
int RunSnapshotMode(int argc, char** argv, const CommandLine& line);
