#include "snapshot/jpeg_file.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "snapshot/jpeg_error_manager.h"

namespace {

std::mutex gReporterLock;
JpegErrorReporter gReporter;  // guarded by gReporterLock

void ReportJpegError(const char* message) {
  JpegErrorReporter reporter;
  {
    std::lock_guard<std::mutex> hold(gReporterLock);
    reporter = gReporter;
  }
  if (reporter)
    reporter(message);
  else
    std::fprintf(stderr, "%s: %s\n", kJpegErrorCaption, message);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool Encode(std::FILE* file, const uint8_t* rgb, int width, int height, int quality) {
  jpeg_compress_struct cinfo;
  JpegErrorManager errors;
  cinfo.err = InstallJpegErrorManager(errors, true);
  jpeg_create_compress(&cinfo);
  if (setjmp(errors.recovery)) {
    jpeg_destroy_compress(&cinfo);
    ReportJpegError(errors.message);
    return false;
  }
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  const std::size_t rowBytes = std::size_t(width) * 3;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(rgb + std::size_t(cinfo.next_scanline) * rowBytes);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

struct Source {
  std::FILE* file = nullptr;
  const uint8_t* data = nullptr;
  std::size_t length = 0;
};

// Decodes into *out (owned by the caller's frame, so a jump back leaves
// nothing to free here but the libjpeg object). headerOnly stops after the
// header. A failure's reason goes to `reason` when given, else to the
// reporter when `report` is set.
bool Decode(const Source& source, bool headerOnly, bool report, std::unique_ptr<uint8_t[]>* out, int* width,
            int* height, std::string* reason = nullptr) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager errors;
  cinfo.err = InstallJpegErrorManager(errors, true);
  jpeg_create_decompress(&cinfo);
  if (setjmp(errors.recovery)) {
    jpeg_destroy_decompress(&cinfo);
    if (reason)
      *reason = errors.message;
    else if (report)
      ReportJpegError(errors.message);
    if (out != nullptr) out->reset();
    *width = 0;
    *height = 0;
    return false;
  }
  if (source.file != nullptr)
    jpeg_stdio_src(&cinfo, source.file);
  else
    jpeg_mem_src(&cinfo, const_cast<unsigned char*>(source.data), static_cast<unsigned long>(source.length));
  jpeg_read_header(&cinfo, TRUE);
  // Refuse a hostile size before libjpeg sets up its buffers: for a
  // progressive picture jpeg_start_decompress already allocates whole-image
  // coefficient arrays.
  if (std::size_t(cinfo.image_width) * cinfo.image_height > kJpegMaxPixels) {
    jpeg_destroy_decompress(&cinfo);
    if (reason) *reason = "the picture is too large";
    return false;
  }
  if (headerOnly) {
    *width = int(cinfo.image_width);
    *height = int(cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return true;
  }
  jpeg_start_decompress(&cinfo);
  const std::size_t w = cinfo.output_width;
  const std::size_t h = cinfo.output_height;
  if (w == 0 || h == 0 || w * h > kJpegMaxPixels) {
    jpeg_destroy_decompress(&cinfo);
    if (reason) *reason = "the picture has no size or is too large";
    return false;
  }
  const std::size_t rowBytes = w * 3;
  // Zeroed: rows of a component count we do not store stay defined.
  out->reset(new (std::nothrow) uint8_t[rowBytes * h]());
  if (!*out) {
    jpeg_destroy_decompress(&cinfo);
    if (reason) *reason = "out of memory";
    return false;
  }
  *width = int(w);
  *height = int(h);
  const int components = cinfo.output_components;
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              JDIMENSION(w * std::size_t(components)), 1);
  while (cinfo.output_scanline < cinfo.output_height) {
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) break;
    uint8_t* target = out->get() + std::size_t(cinfo.output_scanline - 1) * rowBytes;
    if (components == 3) {
      std::memcpy(target, row[0], rowBytes);
    } else if (components == 1) {
      for (std::size_t x = 0; x < w; ++x) target[3 * x] = target[3 * x + 1] = target[3 * x + 2] = row[0][x];
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

void SetJpegErrorReporter(JpegErrorReporter reporter) {
  std::lock_guard<std::mutex> hold(gReporterLock);
  gReporter = std::move(reporter);
}

bool WriteJpegFile(const char* path, const uint8_t* rgb, int width, int height, int quality) {
  if (path == nullptr || rgb == nullptr || width <= 0 || height <= 0) return false;
  FilePtr file(std::fopen(path, "wb"));
  if (!file) return false;
  bool ok = Encode(file.get(), rgb, width, height, quality);
  // A full disk may only show when the last buffered bytes are flushed.
  if (std::fclose(file.release()) != 0) ok = false;
  return ok;
}

std::unique_ptr<uint8_t[]> ReadJpegFile(const char* path, int& width, int& height) {
  width = 0;
  height = 0;
  if (path == nullptr) return nullptr;
  FilePtr file(std::fopen(path, "rb"));
  if (!file) return nullptr;
  std::unique_ptr<uint8_t[]> image;
  Source source;
  source.file = file.get();
  if (!Decode(source, false, true, &image, &width, &height)) return nullptr;
  return image;
}

std::unique_ptr<uint8_t[]> ReadJpegMemory(const uint8_t* data, std::size_t length, int& width, int& height) {
  width = 0;
  height = 0;
  if (data == nullptr || length == 0) return nullptr;
  std::unique_ptr<uint8_t[]> image;
  Source source;
  source.data = data;
  source.length = length;
  if (!Decode(source, false, true, &image, &width, &height)) return nullptr;
  return image;
}

std::unique_ptr<uint8_t[]> ReadJpegMemory(const uint8_t* data, std::size_t length, int& width, int& height,
                                          std::string& error) {
  width = 0;
  height = 0;
  error.clear();
  std::unique_ptr<uint8_t[]> image;
  Source source;
  source.data = data;
  source.length = length;
  if (data == nullptr || length == 0) {
    error = "no data";
    return nullptr;
  }
  if (!Decode(source, false, false, &image, &width, &height, &error)) return nullptr;
  return image;
}

bool ReadJpegMemorySize(const uint8_t* data, std::size_t length, int& width, int& height) {
  width = 0;
  height = 0;
  if (data == nullptr || length == 0) return false;
  Source source;
  source.data = data;
  source.length = length;
  return Decode(source, true, false, nullptr, &width, &height) && width > 0 && height > 0;
}

void FlipRowsVertically(uint8_t* buffer, std::size_t rowBytes, int rows) {
  if (buffer == nullptr || rowBytes == 0 || rows <= 1) return;
  std::vector<uint8_t> spare(rowBytes);
  for (int i = 0; i < rows / 2; ++i) {
    uint8_t* top = buffer + std::size_t(i) * rowBytes;
    uint8_t* bottom = buffer + std::size_t(rows - 1 - i) * rowBytes;
    std::memcpy(spare.data(), top, rowBytes);
    std::memcpy(top, bottom, rowBytes);
    std::memcpy(bottom, spare.data(), rowBytes);
  }
}

void SwapRedBlue(uint8_t* buffer, int pixelsPerRow, int rows) {
  if (buffer == nullptr || pixelsPerRow <= 0 || rows <= 0) return;
  const std::size_t pixels = std::size_t(pixelsPerRow) * std::size_t(rows);
  for (std::size_t i = 0; i < pixels; ++i) std::swap(buffer[3 * i], buffer[3 * i + 2]);
}
