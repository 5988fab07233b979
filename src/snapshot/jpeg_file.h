#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// A small wrapper over libjpeg for snapshots and for measuring received
// frames. Image buffers are packed RGB: width × height × 3 bytes, top row
// first, bytes red, green, blue, no padding.
//
// A fatal libjpeg error (corrupt data, failed write) is shown through the
// JPEG error reporter, then the call returns false / null; nothing leaks and
// no open file stays behind. Failing to open a file is not reported there.

inline constexpr const char* kJpegErrorCaption = "JPEG Fatal Error";

// Receives the library's formatted message (at most 199 characters) on the
// thread that called the wrapper. The UI sets one that shows a message box
// with the caption kJpegErrorCaption; the default writes
// "JPEG Fatal Error: <message>" to stderr. An empty function restores the
// default. Thread-safe.
using JpegErrorReporter = std::function<void(const char* message)>;
void SetJpegErrorReporter(JpegErrorReporter reporter);

// Writes `rgb` (width × height × 3 bytes) as a colour JPEG at `quality`
// (0..100, baseline tables). False for a null buffer, a size ≤ 0, a file
// that cannot be created (no message) or a libjpeg error (message; the
// partly written file stays).
bool WriteJpegFile(const char* path, const uint8_t* rgb, int width, int height, int quality);

// Decodes a JPEG file into a new RGB buffer owned by the caller (grey-scale
// images come back with three equal bytes per pixel; other component counts
// leave the buffer zeroed). width and height are set to 0 first and to the
// image size on success. Null for a missing file (no message), corrupt or
// truncated data (message), or an image over kJpegMaxPixels.
std::unique_ptr<uint8_t[]> ReadJpegFile(const char* path, int& width, int& height);

// The same for a JPEG held in memory.
std::unique_ptr<uint8_t[]> ReadJpegMemory(const uint8_t* data, std::size_t length, int& width, int& height);
// The same again, for callers that report a failure themselves: the reason
// (libjpeg's message, or why the picture was refused) goes to `error`, not to
// the JPEG error reporter.
std::unique_ptr<uint8_t[]> ReadJpegMemory(const uint8_t* data, std::size_t length, int& width, int& height,
                                          std::string& error);

// Reads only the header of a JPEG held in memory: its image size, without
// decoding the picture. False (sizes 0) for data that is not a JPEG.
bool ReadJpegMemorySize(const uint8_t* data, std::size_t length, int& width, int& height);

// Images larger than this are refused instead of allocated: a hostile header
// can announce 65,535 × 65,535 pixels.
inline constexpr std::size_t kJpegMaxPixels = std::size_t(8192) * 8192;

// Swaps row i with row rows − 1 − i in place; the middle row of an odd count
// stays where it is.
void FlipRowsVertically(uint8_t* buffer, std::size_t rowBytes, int rows);

// Swaps bytes 0 and 2 of every 3-byte pixel in place.
void SwapRedBlue(uint8_t* buffer, int pixelsPerRow, int rows);
