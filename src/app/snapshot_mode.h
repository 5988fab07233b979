#pragma once

#include "app/command_line.h"

// `qmxplayer --snapshot FILE --at CENTIS --channel N --out OUT.jpg [--overlay]`:
// opens the recording (with the numbered run FILE starts), goes to CENTIS
// hundredths of a second on its timeline, and writes channel N's (1..4)
// frame there as a JPEG, with the metadata drawn on it when --overlay is
// given. Headless; the libraries' own diagnostics stay off stderr. Exit
// status (mode_status.h): kExitDone; kExitBadInput with one line on stderr
// for a bad command line, a FILE that is no usable recording (the reader's
// reason, or the open's own message), or a camera without video or without
// a frame there; kExitOutputFailed when OUT can't be written (the system's
// or libjpeg's reason, naming the camera). A failed snapshot leaves no new
// file behind. Creates its own application object: call it
// before any other exists. `argc`/`argv` go to the application object;
// the mode reads `line` (its modeArgs and the graph export switch).
int RunSnapshotMode(int argc, char** argv, const CommandLine& line);
