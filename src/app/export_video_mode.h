#pragma once

#include "app/command_line.h"

// `qmxplayer --export-video FILE --from CENTIS --to CENTIS --cameras 1,2,...
// [--layout quad|single] --out OUT.mp4`: the range of the recording's
// timeline (FILE and the numbered run it starts) as H.264 in MP4, the chosen
// cameras side by side in a 2 × 2 grid (quad, the default) or the first one
// alone (single), the overlay's texts and a caption burned in, the first
// chosen camera's sound. FILE is only read; OUT appears only when complete
// and may not be one of the recording's files. Progress goes to stderr as one
// line rewritten in place. Exit status: 0 done; 2 a bad command line, or
// FILE unreadable or not covering the range; 3 OUT could not be written (or
// the export was cancelled by SIGINT/SIGTERM).
int RunExportVideoMode(int argc, char** argv, const CommandLine& line);
