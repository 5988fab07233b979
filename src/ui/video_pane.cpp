#include "ui/video_pane.h"

#include <QPainter>
#include <algorithm>

#include "ui/core/video_layout.h"

VideoPane::VideoPane(int index, QWidget* parent) : QWidget(parent), index_(index) {
  // The pane paints every pixel itself: no background pass behind the frame.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setObjectName(QStringLiteral("videoWindow%1").arg(1010 + index));
}

void VideoPane::SetFrame(QImage frame) {
  frame_ = std::move(frame);
  stale_ = true;
  update();
}

void VideoPane::SetCrop(SourceCrop crop) {
  if (crop == crop_) return;
  crop_ = crop;
  stale_ = true;
  update();
}

void VideoPane::SetStatedAspect(double aspect) {
  if (aspect == statedAspect_) return;
  statedAspect_ = aspect;
  stale_ = true;
  update();
}

void VideoPane::ClearFrame() {
  frame_ = QImage();
  stale_ = true;
  update();
}

QImage VideoPane::Source() const {
  if (crop_.height <= 0 || frame_.isNull()) return frame_;
  const int top = std::clamp(crop_.top, 0, frame_.height() - 1);
  const int rows = std::min(crop_.height, frame_.height() - top);
  // A view of the frame's own rows: the frame outlives it.
  return QImage(frame_.constScanLine(top), frame_.width(), rows, frame_.bytesPerLine(), frame_.format());
}

QRect VideoPane::PictureRect() const {
  if (frame_.isNull()) return {};
  const QImage source = Source();
  const PixelRect fit =
      FitPicture({0, 0, width(), height()}, PictureAspect(source.width(), source.height(), statedAspect_));
  return QRect(fit.left, fit.top, fit.width(), fit.height());
}

const QImage& VideoPane::Scaled() {
  const QRect target = PictureRect();
  const QSize pixels = (QSizeF(target.size()) * devicePixelRatioF()).toSize();
  if (!frame_.isNull() && !pixels.isEmpty() && (stale_ || scaled_.size() != pixels)) {
    const QImage source = Source();
    if (scaled_.size() != pixels) scaled_ = QImage(pixels, QImage::Format_RGB32);
    // Bilinear through the raster engine's vectorised transform path, into
    // the same buffer every frame: about a third of what QImage::scaled's
    // area averaging costs at these sizes, and as sharp for the overlay text.
    QPainter p(&scaled_);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.setRenderHint(QPainter::SmoothPixmapTransform, source.size() != pixels);
    p.drawImage(QRect(QPoint(0, 0), pixels), source);
    p.end();
    scaled_.setDevicePixelRatio(devicePixelRatioF());
    stale_ = false;
  }
  return scaled_;
}

void VideoPane::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect picture = PictureRect();
  if (picture.isEmpty()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  // The letterbox around the picture, then the picture itself unscaled.
  const QRegion bars = QRegion(rect()) - QRegion(picture);
  for (const QRect& r : bars) p.fillRect(r, Qt::black);
  p.drawImage(picture.topLeft(), Scaled());
}

void VideoPane::mouseDoubleClickEvent(QMouseEvent*) {
  emit DoubleClicked(index_);
}
