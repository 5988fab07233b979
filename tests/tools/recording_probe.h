#pragma once

// Test-side helpers that look at generated files without the project's own
// AVI reader, so a fault in it can't hide a fault in the writer.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "run_command.h"

struct ProbedChunk {
  std::string id;       // "00dc", "01wb", ...
  uint64_t offset = 0;  // of the chunk header in the file
  std::vector<uint8_t> data;
};

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);

// The chunks of the movi list in file order (empty when there is none).
std::vector<ProbedChunk> MoviChunks(const std::vector<uint8_t>& file);

// Decoded BGRx frames of video stream `videoIndex` (ffmpeg's 0:v:K).
std::vector<std::vector<uint8_t>> FfmpegBgrxFrames(const std::filesystem::path& file, int videoIndex,
                                                   int width, int height);

// Decoded signed 16-bit samples of audio stream `audioIndex`, interleaved.
std::vector<int16_t> FfmpegAudio(const std::filesystem::path& file, int audioIndex);

std::string Recgen(const std::string& arguments, int* status = nullptr);
