#pragma once

#include "app/command_line.h"

// `qmxplayer --live HOST[:PORT] --channel N --out X.jpg [--overlay] [--wait SECONDS]`:
// the fleet's camera check. Connects to the DVR unit (port 1234 unless
// given), asks for camera N (1..4), waits for its first decodable frame and
// saves it as a JPEG, with the metadata drawn on it when --overlay is given
// (then the frame saved is one that came after the unit's metadata).
// Headless: no display, no sound card. Exit status:
//   kExitDone (0)            the picture was saved;
//   kExitBadInput (2)        bad command line;
//   kExitLiveUnreachable (3) "Can't connect to this device!" after the
//                            connection attempts failed, or (as for the other
//                            modes) X.jpg could not be written;
//   kExitLiveNoFrame (4)     connected, but no frame of camera N came within
//                            SECONDS (default 10).
// Creates its own application object: call it before any other exists.
inline constexpr int kExitLiveUnreachable = 3;
inline constexpr int kExitLiveNoFrame = 4;
int RunLiveMode(int argc, char** argv, const CommandLine& line);
