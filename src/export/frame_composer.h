#pragma once

// Builds the exported pictures: each chosen camera's stored JPEG decoded,
// its metadata read and drawn by the player's own overlay logic (a
// metadata extractor feeding a video overlay, as in the window's graph),
// placed in its cell, and the caption drawn in the band below. Plain C++:
// no pipeline needed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/export_plan.h"
#include "snapshot/jpeg_bgrx_decoder.h"

class COverlayFilter;
class GlyphFont;

namespace video_export {

class FrameComposer {
 public:
  // `cameraWidth` × `cameraHeight` is the stored picture size of every
  // chosen camera; pictures of another size show as black cells.
  FrameComposer(ExportGeometry geometry, int cameraWidth, int cameraHeight, int dvrKind, bool fastDeinterlace,
                std::string caption, const GlyphFont* captionFont);
  ~FrameComposer();
  FrameComposer(const FrameComposer&) = delete;
  FrameComposer& operator=(const FrameComposer&) = delete;

  // Starts a new frame: every cell black, the caption drawn.
  void BeginFrame(uint8_t* frame);
  // Decodes `jpeg` (a stored frame of camera `camera`) into its cell of the
  // frame begun, with the overlay drawn. False when the picture could not be
  // decoded at all (the cell stays black); a picture damaged part way keeps
  // the rows decoded.
  bool DrawCamera(uint8_t* frame, int camera, const uint8_t* jpeg, std::size_t length);

  std::size_t FrameBytes() const { return std::size_t(geometry_.width) * std::size_t(geometry_.height) * 4; }
  const ExportGeometry& Geometry() const { return geometry_; }

 private:
  struct CameraOverlay;
  ExportGeometry geometry_;
  int cameraWidth_, cameraHeight_;
  std::string caption_;
  const GlyphFont* captionFont_;
  JpegBgrxDecoder decoder_;
  std::vector<uint8_t> picture_;
  std::array<std::unique_ptr<CameraOverlay>, 4> overlays_;
};

}  // namespace video_export
