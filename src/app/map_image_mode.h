#pragma once

#include "app/command_line.h"

// `qmxplayer --map-image FILE --at CENTIS --out MAP.png [--zoom Z]`: finds
// the vehicle's position at CENTIS hundredths of a second on the timeline of
// the recording (or the numbered run FILE starts), takes the map around it
// from the caches or the configured map source (through the configured
// proxy), draws the whole track and the position over it, and saves the
// 400 × 400 picture as PNG. Zoom Z is 2..20 (15 when not given). Headless;
// only reads the recording and its map cache file.
//
// Exit status (mode_status.h): kExitDone; kExitBadInput with one line on
// stderr for a bad command line or a FILE that is no usable recording;
// kExitOutputFailed with the reason when no map could be had (no position in
// the recording, the source failed or answered no picture) or MAP.png could
// not be written. Creates its own application object: call it before any
// other exists.
int RunMapImageMode(int argc, char** argv, const CommandLine& line);
