#include "export/frame_composer.h"

#include <cstring>

#include "metadata/glyph_font.h"
#include "metadata/overlay_filter.h"

namespace video_export {

// The pair the window's graph has per camera: the extractor reads the record
// stored in the compressed frame and hands its texts to the overlay.
struct FrameComposer::CameraOverlay {
  CameraOverlay(int camera, int dvrKind)
      : extractor("Export" + std::to_string(camera + 1), FilterRole::kExtractor, dvrKind),
        overlay("Overlay" + std::to_string(camera + 1), FilterRole::kOverlay, dvrKind) {
    extractor.SetListener0(&overlay);
    // The export draws; it keeps no snapshot frame.
    overlay.ReleaseFrameCopy();
  }
  ~CameraOverlay() { extractor.SetListener0(nullptr); }
  COverlayFilter extractor;
  COverlayFilter overlay;
};

FrameComposer::FrameComposer(ExportGeometry geometry, int cameraWidth, int cameraHeight, int dvrKind,
                             bool fastDeinterlace, std::string caption, const GlyphFont* captionFont)
    : geometry_(std::move(geometry)),
      cameraWidth_(cameraWidth),
      cameraHeight_(cameraHeight),
      caption_(std::move(caption)),
      captionFont_(captionFont),
      picture_(std::size_t(cameraWidth) * std::size_t(cameraHeight) * 4) {
  for (const ExportCell& cell : geometry_.cells)
    overlays_[std::size_t(cell.camera)] = std::make_unique<CameraOverlay>(cell.camera, dvrKind);
  for (const auto& pair : overlays_)
    if (pair) pair->overlay.SetFastDeinterlace(fastDeinterlace);
}

FrameComposer::~FrameComposer() = default;

void FrameComposer::BeginFrame(uint8_t* frame) {
  std::memset(frame, 0, FrameBytes());
  if (!captionFont_) return;
  const int band = geometry_.height - geometry_.pictureHeight;
  const int below = geometry_.pictureHeight + (band + captionFont_->CellHeight()) / 2;
  captionFont_->DrawStringAbove(8, below, caption_, frame, geometry_.width, geometry_.height, 0xFFFFFF);
}

bool FrameComposer::DrawCamera(uint8_t* frame, int camera, const uint8_t* jpeg, std::size_t length) {
  const ExportCell* cell = nullptr;
  for (const ExportCell& c : geometry_.cells)
    if (c.camera == camera) cell = &c;
  if (!cell) return false;
  CameraOverlay& pair = *overlays_[std::size_t(camera)];
  // The extractor only reads; the cast matches its in-place interface.
  pair.extractor.Transform(const_cast<uint8_t*>(jpeg), length);
  const JpegBgrxDecoder::Result result = decoder_.Decode(jpeg, length, picture_.data(), picture_.size(),
                                                         cameraWidth_, cameraHeight_, cameraWidth_ * 4);
  if (result != JpegBgrxDecoder::Result::kOk && result != JpegBgrxDecoder::Result::kCorrupt) return false;
  pair.overlay.TransformVideo(picture_.data(), picture_.size(), cameraWidth_, cameraHeight_);
  const std::size_t rowBytes = std::size_t(cameraWidth_) * 4;
  const std::size_t stride = std::size_t(geometry_.width) * 4;
  uint8_t* to = frame + std::size_t(cell->y) * stride + std::size_t(cell->x) * 4;
  for (int row = 0; row < cameraHeight_; ++row)
    std::memcpy(to + std::size_t(row) * stride, picture_.data() + std::size_t(row) * rowBytes, rowBytes);
  return result == JpegBgrxDecoder::Result::kOk;
}

}  // namespace video_export
