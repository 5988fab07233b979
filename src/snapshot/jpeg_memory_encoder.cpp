#include "snapshot/jpeg_memory_encoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "snapshot/jpeg_error_manager.h"

namespace {

constexpr std::size_t kMaxSegmentPayload = 65533;

// Only plain C data lives in this frame, so the longjmp out of libjpeg skips
// no destructor. On success *buffer is malloc'ed by libjpeg and owned by the
// caller.
bool Compress(const uint8_t* rgb, int width, int height, int strideBytes, const JpegEncodeOptions& options,
              unsigned char** buffer, unsigned long* size, char* message) {
  jpeg_compress_struct cinfo;
  JpegErrorManager err;
  cinfo.err = InstallJpegErrorManager(err, false);
  *buffer = nullptr;
  *size = 0;
  if (setjmp(err.recovery)) {
    jpeg_destroy_compress(&cinfo);
    std::free(*buffer);
    *buffer = nullptr;
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, buffer, size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  cinfo.write_JFIF_header = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  for (const JpegSegment& s : options.headerSegments)
    jpeg_write_marker(&cinfo, s.marker, s.payload.data(), unsigned(s.payload.size()));
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + std::size_t(cinfo.next_scanline) * std::size_t(strideBytes));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

void AppendSegment(std::vector<uint8_t>& out, const uint8_t* payload, std::size_t size) {
  out.push_back(0xFF);
  out.push_back(0xFE);
  out.push_back(uint8_t((size + 2) >> 8));
  out.push_back(uint8_t(size + 2));
  out.insert(out.end(), payload, payload + size);
}

}  // namespace

bool EncodeJpegToMemory(const uint8_t* rgb, int width, int height, int strideBytes,
                        const JpegEncodeOptions& options, std::vector<uint8_t>& out, std::string& error) {
  if (!rgb || width <= 0 || height <= 0 || width > 65500 || height > 65500 || strideBytes < width * 3) {
    error = "bad picture dimensions";
    return false;
  }
  if (options.quality < 1 || options.quality > 100) {
    error = "JPEG quality must be 1 to 100";
    return false;
  }
  for (const JpegSegment& s : options.headerSegments) {
    if (s.payload.size() > kMaxSegmentPayload ||
        !((s.marker >= 0xE0 && s.marker <= 0xEF) || s.marker == 0xFE)) {
      error = "bad JPEG header segment";
      return false;
    }
  }
  if (options.trailingBytes.size() > kMaxSegmentPayload) {
    error = "trailing bytes do not fit in one segment";
    return false;
  }

  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  char message[JMSG_LENGTH_MAX];
  if (!Compress(rgb, width, height, strideBytes, options, &buffer, &size, message)) {
    error = std::string("JPEG encoding failed: ") + message;
    return false;
  }
  std::vector<uint8_t> jpeg(buffer, buffer + size);
  std::free(buffer);
  if (jpeg.size() < 4 || jpeg[jpeg.size() - 2] != 0xFF || jpeg.back() != 0xD9) {
    error = "JPEG encoder produced no end marker";
    return false;
  }

  const bool needsPadding = jpeg.size() < options.minimumBytes;
  if (needsPadding || !options.trailingBytes.empty()) {
    jpeg.resize(jpeg.size() - 2);  // EOI goes back on after the segments
    // Size once the final segment with the trailing bytes is added.
    std::size_t total = jpeg.size() + 4 + options.trailingBytes.size() + 2;
    std::size_t pad = options.minimumBytes > total ? options.minimumBytes - total : 0;
    // Padding that does not fit in the final segment gets segments of its own.
    const std::vector<uint8_t> filler(kMaxSegmentPayload, options.padByte);
    while (pad > kMaxSegmentPayload - options.trailingBytes.size()) {
      const std::size_t chunk = std::min(kMaxSegmentPayload, pad - 4);
      AppendSegment(jpeg, filler.data(), chunk);
      pad -= chunk + 4;
    }
    std::vector<uint8_t> last(pad, options.padByte);
    last.insert(last.end(), options.trailingBytes.begin(), options.trailingBytes.end());
    AppendSegment(jpeg, last.data(), last.size());
    jpeg.push_back(0xFF);
    jpeg.push_back(0xD9);
  }
  out = std::move(jpeg);
  return true;
}
