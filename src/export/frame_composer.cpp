#include "export/frame_composer.h"

#include <cstring>

#include "metadata/glyph_font.h"
#include "metadata/overlay_filter.h"
#include "snapshot/jpeg_bgrx_decoder.h"

namespace video_export {

// What the window's graph has per camera: the extractor reads the record
// stored in the compressed frame and hands its texts to the overlay; and the
// camera's own decoder and picture, so cameras decode side by side.
struct FrameComposer::CameraState {
  CameraState(int camera, DvrLayout dvrKind, std::size_t pictureBytes)
      : extractor("Export" + std::to_string(camera + 1), FilterRole::kExtractor, dvrKind),
        overlay("Overlay" + std::to_string(camera + 1), FilterRole::kOverlay, dvrKind),
        picture(pictureBytes) {
    extractor.SetListener0(&overlay);
    // The export draws; it keeps no snapshot frame.
    overlay.ReleaseFrameCopy();
  }
  ~CameraState() { extractor.SetListener0(nullptr); }
  COverlayFilter extractor;
  COverlayFilter overlay;
  JpegBgrxDecoder decoder;
  std::vector<uint8_t> picture;
};

FrameComposer::FrameComposer(ExportGeometry geometry, I420Layout layout, int cameraWidth, int cameraHeight,
                             DvrLayout dvrKind, bool fastDeinterlace, const std::string& caption,
                             const GlyphFont* captionFont, const redaction::RedactionList* redactions)
    : geometry_(std::move(geometry)),
      layout_(layout),
      cameraWidth_(cameraWidth),
      cameraHeight_(cameraHeight),
      redactions_(redactions),
      background_(layout_.size) {
  const std::size_t pictureBytes = std::size_t(cameraWidth) * std::size_t(cameraHeight) * 4;
  for (const ExportCell& cell : geometry_.cells) {
    auto state = std::make_unique<CameraState>(cell.camera, dvrKind, pictureBytes);
    state->overlay.SetFastDeinterlace(fastDeinterlace);
    cameras_[std::size_t(cell.camera)] = std::move(state);
  }
  // Cells never overlap: they tile the pictures when their areas add up.
  cellsTile_ = uint64_t(geometry_.cells.size()) * uint64_t(cameraWidth) * uint64_t(cameraHeight) ==
               uint64_t(geometry_.width) * uint64_t(geometry_.pictureHeight);
  // The band drawn once in BGRx and kept converted.
  FillI420Black(background_.data(), layout_, 0, 0, layout_.width, layout_.height);
  const int band = geometry_.height - geometry_.pictureHeight;
  if (captionFont && band > 0) {
    std::vector<uint8_t> bgrx(std::size_t(geometry_.width) * std::size_t(band) * 4);
    captionFont->DrawStringAbove(8, (band + captionFont->CellHeight()) / 2, caption, bgrx.data(),
                                 geometry_.width, band, 0xFFFFFF);
    BgrxToI420(bgrx.data(), geometry_.width * 4, geometry_.width, band, background_.data(), layout_, 0,
               geometry_.pictureHeight);
  }
}

FrameComposer::~FrameComposer() = default;

const ExportCell* FrameComposer::CellOf(int camera) const {
  for (const ExportCell& c : geometry_.cells)
    if (c.camera == camera) return &c;
  return nullptr;
}

void FrameComposer::BeginFrame(uint8_t* frame) const {
  if (!cellsTile_) {
    std::memcpy(frame, background_.data(), background_.size());
    return;
  }
  // Only the band's rows of each plane.
  for (int plane = 0; plane < 3; ++plane) {
    const int firstRow = plane == 0 ? geometry_.pictureHeight : geometry_.pictureHeight / 2;
    const int rows = plane == 0 ? layout_.height : (layout_.height + 1) / 2;
    const std::size_t from = layout_.offset[std::size_t(plane)] +
                             std::size_t(firstRow) * std::size_t(layout_.stride[std::size_t(plane)]);
    const std::size_t to = layout_.offset[std::size_t(plane)] +
                           std::size_t(rows) * std::size_t(layout_.stride[std::size_t(plane)]);
    std::memcpy(frame + from, background_.data() + from, to - from);
  }
}

void FrameComposer::BlankCamera(uint8_t* frame, int camera) const {
  if (const ExportCell* cell = CellOf(camera))
    FillI420Black(frame, layout_, cell->x, cell->y, cameraWidth_, cameraHeight_);
}

bool FrameComposer::DrawCamera(uint8_t* frame, int camera, const uint8_t* jpeg, std::size_t length,
                               int64_t centis) {
  const ExportCell* cell = CellOf(camera);
  if (!cell) return false;
  CameraState& state = *cameras_[std::size_t(camera)];
  // The extractor only reads; the cast matches its in-place interface.
  state.extractor.Transform(const_cast<uint8_t*>(jpeg), length);
  const JpegBgrxDecoder::Result result =
      state.decoder.Decode(jpeg, length, state.picture.data(), state.picture.size(), cameraWidth_,
                           cameraHeight_, cameraWidth_ * 4);
  if (result != JpegBgrxDecoder::Result::kOk && result != JpegBgrxDecoder::Result::kCorrupt) {
    BlankCamera(frame, camera);
    return false;
  }
  // Under the overlay: the time and data lines stay readable over a shape.
  if (redactions_)
    redaction::ApplyRedactions(state.picture.data(), cameraWidth_, cameraHeight_, cameraWidth_ * 4, camera,
                               centis, *redactions_);
  state.overlay.TransformVideo(state.picture.data(), state.picture.size(), cameraWidth_, cameraHeight_);
  BgrxToI420(state.picture.data(), cameraWidth_ * 4, cameraWidth_, cameraHeight_, frame, layout_, cell->x,
             cell->y);
  return result == JpegBgrxDecoder::Result::kOk;
}

}  // namespace video_export
