#pragma once

// Recordings for the clip tests and what a correct clip of them holds,
// worked out from the source files alone.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "recording_options.h"

namespace cliptest {

// Small four-channel recordings: 320x240, `fps` frames per second.
recgen::RecordingOptions SmallOptions(double seconds, double fps);

// Writes folder/NAME-001.avi … and returns the paths; fails the test on error.
std::vector<std::string> WriteRun(const std::filesystem::path& folder, const std::string& name, int count,
                                  const recgen::RecordingOptions& options);

// Every stored frame of `camera`'s video across `files`, in timeline order.
std::vector<std::vector<uint8_t>> SourceFrames(const std::vector<std::string>& files, int camera);

// The frames a range [startCentis, endCentis) takes at `fps`: the first
// frame k with k / fps >= start, and how many there are before end (exact
// arithmetic), capped by `available`.
struct FrameRange {
  int64_t first = 0;
  int64_t count = 0;
};
FrameRange FramesIn(int64_t startCentis, int64_t endCentis, int fps, int64_t available);

// The audio bytes a copy of global frames [first, first + count) takes: per
// file, its share of the file's audio in proportion to its frames.
std::vector<uint8_t> SourceAudio(const std::vector<std::string>& files, int camera, int64_t first,
                                 int64_t count);

// All chunk payloads of stream `stream` of `path`.
std::vector<std::vector<uint8_t>> Chunks(const std::string& path, int stream);
std::vector<uint8_t> Joined(const std::vector<std::vector<uint8_t>>& chunks);

std::string FileMd5(const std::string& path);
// Names in `folder` (for proving nothing is left behind).
std::vector<std::string> Listing(const std::filesystem::path& folder);

}  // namespace cliptest
