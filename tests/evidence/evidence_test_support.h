#pragma once

// Running qmxplayer and writing small recordings for the evidence tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "recording_options.h"
#include "temp_dir.h"

struct PlayerRun {
  int status = -1;
  std::string out, err;
};

// Runs `qmxplayer ARGS` (already quoted) with a time limit, so a hang fails
// with status 124 instead of stopping the suite. `prefix` runs before it in
// the same shell (a limit: "ulimit -f 64;").
PlayerRun RunPlayer(const std::string& args, const TempDir& dir, const std::string& prefix = "");

// Quick recordings: 320×240, two seconds at 30 fps, four cameras with audio.
recgen::RecordingOptions SmallRecording();

std::string ReadWholeFile(const std::filesystem::path& path);

// Changes the byte at `offset` of `file` in place.
void FlipByte(const std::filesystem::path& file, uint64_t offset);
