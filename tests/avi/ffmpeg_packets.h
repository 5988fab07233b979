#pragma once

// What ffmpeg's own AVI demuxer finds in a file, for comparing the reader's
// chunks with packets of an independent implementation.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "avi/avi_reader.h"
#include "run_command.h"

namespace avitest {

bool HaveProgram(const char* name);

struct Packet {
  uint32_t size = 0;
  std::string md5;
};

// The packets of `map` ("0:v:1") from `ffmpeg -c copy -f framemd5`.
std::vector<Packet> FfmpegPackets(const std::string& path, const std::string& map);

// Every chunk of `stream` must have its packet's size; the MD5s are compared
// for every `step`-th chunk and the last 16 (hashing a gigabyte twice under
// the sanitizers would take minutes). Reports through gtest.
void ExpectSameAsFfmpeg(const avi::AviReader& reader, int stream, const std::vector<Packet>& expected,
                        std::size_t step = 1);

// Renames the first RIFF's top-level chunk `id` (idx1) to JUNK in place, so
// readers find the file without it.
void HideTopLevelChunk(const std::filesystem::path& path, avi::FourCC id);

}  // namespace avitest
