#pragma once

// A cheap test of whether a stored JPEG frame is whole: its marker segments
// and their lengths up to the first scan, a frame header with a non-empty
// picture, and an end-of-image marker closing the picture data (followed at
// most by padding or a short tail of the recorder's own). It reads the headers and the frame's last bytes,
// never the picture data itself, so a whole recording is checked faster than
// it can be read. Frames cut short, zeroed or overwritten at their end, and
// damaged headers are found; damage inside the picture data that leaves its
// end intact (a flipped bit, a stray marker) is beyond it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace evidence {

// "" when the frame is whole, else what is wrong with it in a few words.
std::string JpegStructureProblem(const uint8_t* data, std::size_t length);

}  // namespace evidence
