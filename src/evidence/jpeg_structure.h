#pragma once

// A cheap test of whether a stored JPEG frame is whole: its marker segments
// and their lengths, a frame header with a non-empty picture, at least one
// scan, and entropy-coded data that runs to an end-of-image marker without a
// marker that can't stand there. It reads every byte once and decodes no
// picture, so a whole recording is checked at the speed of reading it.
// Damage that keeps the structure (a flipped bit inside the entropy-coded
// data) is beyond it; a frame it passes may still show a smeared block.

#include <cstddef>
#include <cstdint>
#include <string>

namespace evidence {

// "" when the frame is whole, else what is wrong with it in a few words.
std::string JpegStructureProblem(const uint8_t* data, std::size_t length);

}  // namespace evidence
