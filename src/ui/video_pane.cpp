#include "ui/video_pane.h"

#include <QPainter>

VideoPane::VideoPane(int index, QWidget* parent) : QWidget(parent), index_(index) {
  // The pane paints every pixel itself: no background pass behind the frame.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setObjectName(QStringLiteral("videoWindow%1").arg(1010 + index));
}

void VideoPane::SetFrame(QImage frame) {
  frame_ = std::move(frame);
  update();
}

void VideoPane::SetCrop(SourceCrop crop) {
  if (crop == crop_) return;
  crop_ = crop;
  update();
}

void VideoPane::ClearFrame() {
  frame_ = QImage();
  update();
}

void VideoPane::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (frame_.isNull()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  QRect source = frame_.rect();
  if (crop_.height > 0) {
    const int top = std::clamp(crop_.top, 0, frame_.height() - 1);
    source = QRect(0, top, frame_.width(), std::min(crop_.height, frame_.height() - top));
  }
  // Nearest-neighbour scaling: the frames are redrawn 30 times a second per
  // channel and a smooth filter would cost more than the rest of painting.
  p.drawImage(rect(), frame_, source);
}
