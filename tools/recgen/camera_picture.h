#pragma once

// The picture of one camera in one frame: a tinted background with a gentle
// gradient (red, green, blue, amber for cameras 1..4), the camera number in
// large white digits at the left, a white square that moves left to right
// (one step per frame, wrapping) in the lower third, and the frame-number
// mark of frame_mark.h in the middle.

#include <cstdint>

namespace recgen {

// Paints into the w × h rectangle at (x, y) of a top-down RGB picture whose
// rows are `strideBytes` apart. The caller guarantees the rectangle fits.
void PaintCameraPicture(uint8_t* rgb, int strideBytes, int x, int y, int w, int h, int camera,
                        int64_t globalFrame);

}  // namespace recgen
