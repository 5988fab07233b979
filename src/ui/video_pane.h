#pragma once

#include <QImage>
#include <QWidget>

#include "engine/pipeline/video_arrangement.h"

// One channel's video window: paints the newest frame it was given at the
// picture's own display aspect, letterboxed in the pane, black while it has
// none. `crop` picks the rows of the frame it shows (the stacked two-camera
// layout shows one half per pane).
//
// The frame is scaled (bilinear) once when it arrives or the pane's size
// changes, not on every paint: a paint then only copies pixels.
//
// Threads: the window thread only; frames arrive through FrameRelay.
class VideoPane : public QWidget {
  Q_OBJECT
 public:
  explicit VideoPane(int index, QWidget* parent = nullptr);

  void SetFrame(QImage frame);
  void SetCrop(SourceCrop crop);
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

 signals:
  void DoubleClicked(int index);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;

 private:
  // The frame's rows this pane shows, without a copy.
  QImage Source() const;

  int index_;
  QImage frame_;
  QImage scaled_;      // frame_ at PictureRect's size
  bool stale_ = true;  // scaled_ is of an older frame or crop
  SourceCrop crop_;
};
