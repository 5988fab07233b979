#pragma once

#include <ostream>
#include <string>
#include <vector>

// `qmxplayer --extract FILE --from CENTIS --to CENTIS --cameras 1,2,... --out OUT.avi`:
// cuts hundredths FROM..TO of the recording's timeline (FILE and the
// numbered run it starts) for the chosen cameras into OUT.avi, or into
// OUT-001.avi, OUT-002.avi, ... of 20 minutes each for longer ranges, frames
// copied byte for byte, with the DVR's trigger names and title after the AVI
// data. FILE is only read. Progress goes to `err` as one line rewritten in
// place; each output path written goes to `out`. Exit status: 0 done; 2 a bad
// command line, or FILE unreadable or not covering the range; 1 an output
// could not be written (the reason on `err`). Nothing half-written stays:
// outputs appear under their names only when complete. SIGINT and SIGTERM
// cancel cleanly.
int RunExtractMode(const std::vector<std::string>& modeArgs, std::ostream& out, std::ostream& err);

inline constexpr int kExitExtractWriteFailed = 1;
