#include "map/map_picture_decoder.h"

#include <png.h>

#include <QtGlobal>
#include <atomic>
#include <mutex>

#include "map/map_cache_file.h"

namespace {

// Qt's own PNG reader leaves libpng's error printer in place (it writes to
// stderr itself), so PNG goes through libpng's simplified reader, which
// keeps its messages in the image structure.
QImage DecodePng(const std::string& bytes) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
    png_image_free(&png);
    return {};
  }
  // A tile is 256 pixels square; anything far larger is not one.
  if (png.width == 0 || png.height == 0 || png.width > 4096 || png.height > 4096) {
    png_image_free(&png);
    return {};
  }
  png.format = PNG_FORMAT_BGRA;  // the memory order of QImage's ARGB32 on little-endian machines
  QImage image(int(png.width), int(png.height), QImage::Format_ARGB32);
  if (image.isNull() ||
      !png_image_finish_read(&png, nullptr, image.bits(), png_int_32(image.bytesPerLine()), nullptr)) {
    png_image_free(&png);
    return {};
  }
  return image;
}

// Qt's other image readers report through its message handler: while a
// thread decodes a map picture, its messages are dropped; every other
// message goes on to the handler that was there before.
thread_local bool tQuiet = false;
std::atomic<QtMessageHandler> gPrevious{nullptr};

void QuietWhileDecoding(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (tQuiet) return;
  if (const QtMessageHandler previous = gPrevious.load()) previous(type, context, text);
}

void InstallQuietHandler() {
  static std::once_flag once;
  std::call_once(once, [] { gPrevious = qInstallMessageHandler(QuietWhileDecoding); });
}

}  // namespace

QImage DecodeMapPicture(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > kMapImageLimit) return {};
  if (bytes.size() >= 8 && png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) == 0)
    return DecodePng(bytes);
  InstallQuietHandler();
  tQuiet = true;
  QImage image = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size()));
  tQuiet = false;
  return image;
}
