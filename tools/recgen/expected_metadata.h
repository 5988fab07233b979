#pragma once

// The metadata the generator stores with every frame, as a pure function of
// the options and the frame, so tests can compare what a reader decodes.
//
// Frame k of a file is global frame g = options.firstFrame + k; its time is
// startUtc + g / fps (milliseconds rounded). The vehicle drives a loop of
// about 2 km around a start point near 49°16.4567'N 122°39.3000'W, once every
// ten minutes; speed swings between 10 and 70 km/h over a minute; the
// accelerations wander; trigger bit (t / 2 s) mod 11 is set, plus bit 0
// (brake) for the first half second of every five. Satellites are 5 + channel,
// so each stream's records can be told apart.

#include <array>
#include <cstdint>
#include <string>

#include "metadata/metadata_sample.h"
#include "recording_options.h"

namespace recgen {

// channel: 1..4 for the cameras; 0 for the separate metadata stream.
MetadataSample ExpectedMetadata(const RecordingOptions& options, int channel, int64_t frameIndex);

// The three 30-character text lines of a text-line frame (Windows-1252; 0xB0
// is the degree sign): "MM/DD/YY UNIT01  062K 14:05:09", "Lat  49°16'27"N
// 062mph 08 sats", "Lon 122°39'18"W  HDG090 ALT012" in shape.
std::array<std::string, 3> ExpectedTextLines(const RecordingOptions& options, int channel,
                                             int64_t frameIndex);

// Milliseconds since startUtc of global frame g.
int64_t FrameMilliseconds(const RecordingOptions& options, int64_t globalFrame);

}  // namespace recgen
