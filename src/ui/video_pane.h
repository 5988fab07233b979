#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <string>

#include "engine/pipeline/video_arrangement.h"
#include "ui/core/picture_adjustment.h"
#include "ui/core/video_layout.h"
#include "ui/core/zoom_view.h"

// One channel's video window: paints the newest frame it was given at the
// picture's own display aspect, letterboxed in the pane, black while it has
// none. `crop` picks the rows of the frame it shows (the stacked two-camera
// layout shows one half per pane).
//
// The frame is scaled (bilinear) once when it arrives or the pane's size
// changes, not on every paint: a paint then only copies pixels. A frame the
// decoder already made at the picture's size is painted as it is.
//
// Digital zoom: the wheel zooms about the pointer (1x to 8x), a drag pans,
// Ctrl+double-click goes back to 1x; a plain double-click is the window's
// (DoubleClicked). The zoomed part is drawn from the frame given, so a pane
// that WantsFullFrame must be given full-size frames, never reduced ones.
// Picture adjustments change the scaled copy only, never the frame. A mark
// in the top right corner says when either is on.
//
// Threads: the window thread only; frames arrive through FrameRelay.
class VideoPane : public QWidget {
  Q_OBJECT
 public:
  explicit VideoPane(int index, QWidget* parent = nullptr);

  void SetFrame(QImage frame);
  void SetCrop(SourceCrop crop);
  // The display aspect the recording states for this pane's camera, which
  // wins over the picture's own size rule; 0 for none.
  void SetStatedAspect(double aspect);
  double StatedAspect() const { return statedAspect_; }
  // The size of the recorded pictures of this pane's camera (empty when
  // unknown): a smaller frame is a reduced decode of such a picture and is
  // shown at the picture's shape, not at its own rounded one.
  void SetPictureSize(QSize size);
  // The display aspect the frame is shown at.
  double ShownAspect() const;
  SourceCrop Crop() const { return crop_; }
  void ClearFrame();
  const QImage& Frame() const { return frame_; }
  int Index() const { return index_; }
  // Where the picture stands inside the pane (pane coordinates); empty
  // without a frame.
  QRect PictureRect() const;
  // The picture as painted: the frame's shown rows scaled to PictureRect.
  const QImage& Scaled();
  // The size of the frame's rows this pane shows.
  QSize SourceSize() const { return Source().size(); }

  const ZoomView& Zoom() const { return zoom_; }
  void SetZoom(ZoomView zoom);
  void ResetZoom() { SetZoom(ZoomView{}); }
  // True while zoomed in: the frames given must be the decoder's full size.
  bool WantsFullFrame() const { return zoom_.zoom > 1.0; }
  // The frame pixels painted, in the coordinates of Frame() (the crop's
  // rows included); empty without a frame.
  PixelRect ShownFramePixels() const;
  // The frame position painted at pane point `point`, in Frame() pixels.
  QPointF FramePointAt(QPointF point) const;

  const PictureAdjustment& Adjustment() const { return adjustment_; }
  void SetAdjustment(const PictureAdjustment& adjustment);
  // The text of the corner mark, "" when nothing is on.
  QString Mark() const;

 signals:
  void DoubleClicked(int index);
  // The zoom or the shown area changed.
  void ZoomChanged(int index);
  void FullFrameWantedChanged(int index, bool wanted);
  // The user pointed at the pane (a click or a wheel turn): commands for
  // "this camera" act on it.
  void Touched(int index);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;

 private:
  // The frame's rows this pane shows, without a copy.
  QImage Source() const;
  void PaintMark(QPainter& p, const QRect& picture) const;
  void ShowCursor();

  int index_;
  QImage frame_;
  QImage scaled_;               // frame_ at PictureRect's size
  bool stale_ = true;           // scaled_ is of an older frame, crop, zoom or adjustment
  bool scaledIsFrame_ = false;  // scaled_ is a frame itself, not a copy
  SourceCrop crop_;
  ZoomView zoom_;
  PictureAdjustment adjustment_;
  ToneTable tones_{};
  bool dragging_ = false;
  QPointF dragFrom_;
  double statedAspect_ = 0;
  QSize pictureSize_;
};
