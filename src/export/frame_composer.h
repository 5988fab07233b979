#pragma once

// Builds the exported pictures: each chosen camera's stored JPEG decoded,
// its redactions drawn, its metadata read and drawn by the player's own
// overlay logic (a metadata extractor feeding a video overlay, as in the
// window's graph), converted into its cell of the planar frame, and the
// caption in the band below. Plain C++: no pipeline needed.
//
// Threads: DrawCamera() and BlankCamera() may run at once for different
// cameras (each camera has its own decoder, picture and overlay, and the
// cells lie on even boundaries); BeginFrame() before them, on one thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/export_plan.h"
#include "export/i420_frame.h"
#include "export/redaction.h"
#include "metadata/dvr_layout.h"

class GlyphFont;

namespace video_export {

class FrameComposer {
 public:
  // `cameraWidth` × `cameraHeight` is the stored picture size of every
  // chosen camera; pictures of another size show as black cells.
  // `redactions` (may be null) must outlive the composer.
  FrameComposer(ExportGeometry geometry, I420Layout layout, int cameraWidth, int cameraHeight,
                DvrLayout dvrKind, bool fastDeinterlace, const std::string& caption,
                const GlyphFont* captionFont, const redaction::RedactionList* redactions = nullptr);
  ~FrameComposer();
  FrameComposer(const FrameComposer&) = delete;
  FrameComposer& operator=(const FrameComposer&) = delete;

  // Starts a new frame: everything but the cells (the caption band, unused
  // cells, padding).
  void BeginFrame(uint8_t* frame) const;
  // Decodes `jpeg` (a stored frame of camera `camera`, at `centis` on the
  // timeline) into its cell of the frame begun, redacted and with the
  // overlay drawn. False when the picture could not be decoded at all (the
  // cell is black); a picture damaged part way keeps the rows decoded.
  bool DrawCamera(uint8_t* frame, int camera, const uint8_t* jpeg, std::size_t length, int64_t centis);
  // The cell of a camera whose range has ended: black.
  void BlankCamera(uint8_t* frame, int camera) const;

  std::size_t FrameBytes() const { return layout_.size; }
  const ExportGeometry& Geometry() const { return geometry_; }

 private:
  struct CameraState;
  const ExportCell* CellOf(int camera) const;

  ExportGeometry geometry_;
  I420Layout layout_;
  int cameraWidth_, cameraHeight_;
  const redaction::RedactionList* redactions_;
  std::vector<uint8_t> background_;  // a whole frame: black, the caption drawn
  bool cellsTile_ = false;           // the cells cover every picture row and column
  std::array<std::unique_ptr<CameraState>, 4> cameras_;
};

}  // namespace video_export
