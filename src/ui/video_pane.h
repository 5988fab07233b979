#pragma once

#include <QImage>
#include <QWidget>

#include "engine/pipeline/video_arrangement.h"

// One channel's video window: paints the newest frame it was given, scaled
// to the pane (the window lays the panes out at the video's aspect ratio),
// black while it has none. `crop` picks the rows of the frame it shows (the
// stacked two-camera layout shows one half per pane).
//
// Threads: the window thread only; frames arrive through FrameRelay.
class VideoPane : public QWidget {
  Q_OBJECT
 public:
  explicit VideoPane(int index, QWidget* parent = nullptr);

  void SetFrame(QImage frame);
  void SetCrop(SourceCrop crop);
  void ClearFrame();
  const QImage& Frame() const { return frame_; }
  int Index() const { return index_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  int index_;
  QImage frame_;
  SourceCrop crop_;
};
