#pragma once

// The DVR configuration text a recording carries: "set key value" lines, each
// ended by one NUL byte and no line break (a line break would end up inside
// values such as the title, which the player reads up to a "." or NUL).

#include <cstdint>
#include <string>
#include <vector>

#include "recording_options.h"

namespace recgen {

// The block written near the start of the file: title, gps.enable, the
// eleven trigger names, and per camera its audio switch and bit rate.
std::vector<uint8_t> DefaultConfigBlock(const RecordingOptions& options);

// The block the clip extraction appends to the end of a file: the eleven
// trigger names, the title, then a row of 65 '.'.
std::vector<uint8_t> AppendedConfigBlock(const RecordingOptions& options);

// A text file's lines as a block (line breaks become NUL bytes). False with
// `error` set when the file can't be read.
bool ConfigBlockFromFile(const std::string& path, std::vector<uint8_t>& block, std::string& error);

// The "JUNK" chunk payload that names the DVR version: "MDVR" at the start,
// the version text at payload offset 200 (file offset 208 from "JUNK").
std::vector<uint8_t> VersionChunkPayload(const std::string& version);

}  // namespace recgen
