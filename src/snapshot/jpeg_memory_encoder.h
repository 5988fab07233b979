#pragma once

// Encodes an RGB picture to a JPEG file image in memory with libjpeg-turbo.
//
// Layout of the result: SOI (2 bytes), the JFIF APP0 segment (18 bytes), then
// the caller's header segments in order, so the payload of the first one
// starts at byte 24 (marker 2 + length 2); then the tables and the scan; then,
// when asked, one or more COM segments right before EOI. Those COM segments
// pad the file to `minimumBytes` and end with `trailingBytes`, so the caller's
// trailing bytes end exactly two bytes before the end of the file (only EOI
// follows). The picture still decodes everywhere: COM and APPn segments are
// skipped by decoders.

#include <cstdint>
#include <string>
#include <vector>

struct JpegSegment {
  int marker = 0;                // 0xE0..0xEF (APP0..APP15) or 0xFE (COM)
  std::vector<uint8_t> payload;  // at most 65,533 bytes
};

struct JpegEncodeOptions {
  int quality = 85;                         // 1..100
  std::vector<JpegSegment> headerSegments;  // written right after the JFIF header
  std::size_t minimumBytes = 0;             // pad with a COM segment up to this size
  std::vector<uint8_t> trailingBytes;       // last bytes before EOI, inside a COM segment
  uint8_t padByte = 0x55;                   // filler of the padding segment
};

// rgb: top-down rows of width × 3 bytes (R, G, B), rows `strideBytes` apart.
// Returns false with `error` set (and `out` untouched) on bad arguments or a
// libjpeg failure; never exits the process.
bool EncodeJpegToMemory(const uint8_t* rgb, int width, int height, int strideBytes,
                        const JpegEncodeOptions& options, std::vector<uint8_t>& out, std::string& error);
