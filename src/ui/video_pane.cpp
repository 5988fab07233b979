#include "ui/video_pane.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

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

void VideoPane::SetPictureSize(QSize size) {
  if (size == pictureSize_) return;
  pictureSize_ = size;
  stale_ = true;
  update();
}

double VideoPane::ShownAspect() const {
  const QSize source = Source().size();
  const bool reduced = crop_.height <= 0 && !pictureSize_.isEmpty() && source != pictureSize_ &&
                       source.width() <= pictureSize_.width() && source.height() <= pictureSize_.height();
  const QSize shape = reduced ? pictureSize_ : source;
  return PictureAspect(shape.width(), shape.height(), statedAspect_);
}

void VideoPane::ClearFrame() {
  frame_ = QImage();
  stale_ = true;
  // The next picture is another recording's or stream's: its own whole frame.
  ResetZoom();
  update();
}

void VideoPane::SetZoom(ZoomView zoom) {
  zoom = ClampedZoom(zoom);
  if (zoom == zoom_) return;
  const bool wanted = WantsFullFrame();
  zoom_ = zoom;
  if (!WantsFullFrame()) dragging_ = false;
  stale_ = true;
  ShowCursor();
  update();
  emit ZoomChanged(index_);
  if (wanted != WantsFullFrame()) emit FullFrameWantedChanged(index_, WantsFullFrame());
}

void VideoPane::SetAdjustment(const PictureAdjustment& adjustment) {
  const PictureAdjustment a = ClampedAdjustment(adjustment);
  if (a == adjustment_) return;
  adjustment_ = a;
  tones_ = BuildToneTable(a);
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
  const PixelRect fit = FitPicture({0, 0, width(), height()}, ShownAspect());
  return QRect(fit.left, fit.top, fit.width(), fit.height());
}

PixelRect VideoPane::ShownFramePixels() const {
  if (frame_.isNull()) return {};
  const QSize source = Source().size();
  PixelRect r = ShownPixels(zoom_, source.width(), source.height());
  const int top = crop_.height > 0 ? std::clamp(crop_.top, 0, frame_.height() - 1) : 0;
  r.top += top;
  r.bottom += top;
  return r;
}

QPointF VideoPane::FramePointAt(QPointF point) const {
  const QRect picture = PictureRect();
  if (picture.isEmpty()) return {};
  const PixelRect shown = ShownFramePixels();
  return {shown.left + (point.x() - picture.left()) * shown.width() / picture.width(),
          shown.top + (point.y() - picture.top()) * shown.height() / picture.height()};
}

const QImage& VideoPane::Scaled() {
  const QRect target = PictureRect();
  const QSize pixels = (QSizeF(target.size()) * devicePixelRatioF()).toSize();
  if (!frame_.isNull() && !pixels.isEmpty() && (stale_ || scaled_.size() != pixels)) {
    const QImage source = Source();
    const PixelRect shown = ShownPixels(zoom_, source.width(), source.height());
    const QRect from(shown.left, shown.top, shown.width(), shown.height());
    if (from == frame_.rect() && pixels == frame_.size() && adjustment_.IsNeutral()) {
      // Already the picture as painted: the frame itself, without a copy.
      scaled_ = frame_;
      scaled_.setDevicePixelRatio(devicePixelRatioF());
      scaledIsFrame_ = true;
      stale_ = false;
      return scaled_;
    }
    // Never drawn into a frame: it is the pipeline's buffer.
    if (scaled_.size() != pixels || scaledIsFrame_) scaled_ = QImage(pixels, QImage::Format_RGB32);
    scaledIsFrame_ = false;
    // Bilinear through the raster engine's vectorised transform path, into
    // the same buffer every frame: about a third of what QImage::scaled's
    // area averaging costs at these sizes, and as sharp for the overlay text.
    QPainter p(&scaled_);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.setRenderHint(QPainter::SmoothPixmapTransform, from.size() != pixels);
    p.drawImage(QRect(QPoint(0, 0), pixels), source, from);
    p.end();
    // On the copy, after scaling: the frame is the recording's and stays so,
    // and the copy has no more pixels than the pane.
    if (!adjustment_.IsNeutral())
      ApplyToneTableBgrx(tones_, scaled_.bits(), scaled_.width(), scaled_.height(), scaled_.bytesPerLine());
    scaled_.setDevicePixelRatio(devicePixelRatioF());
    stale_ = false;
  }
  return scaled_;
}

QString VideoPane::Mark() const {
  QString mark = QString::fromStdString(ZoomMark(zoom_));
  const QString adjusted = QString::fromStdString(AdjustmentMark(adjustment_));
  if (!adjusted.isEmpty()) mark += (mark.isEmpty() ? QString() : QStringLiteral("  ")) + adjusted;
  return mark;
}

void VideoPane::PaintMark(QPainter& p, const QRect& picture) const {
  const QString mark = Mark();
  if (mark.isEmpty()) return;
  QFont font = p.font();
  font.setPixelSize(std::clamp(picture.height() / 18, 10, 16));
  font.setBold(true);
  p.setFont(font);
  const QFontMetrics metrics(font);
  const int margin = metrics.height() / 4;
  QRect box(0, 0, metrics.horizontalAdvance(mark) + 2 * margin, metrics.height() + margin);
  box.moveTopRight(picture.topRight() + QPoint(-margin, margin));
  p.fillRect(box, QColor(0, 0, 0, 160));
  p.setPen(QColor(255, 220, 0));
  p.drawText(box, Qt::AlignCenter, mark);
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
  PaintMark(p, picture);
}

void VideoPane::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->modifiers() & Qt::ControlModifier) {
    ResetZoom();
    return;
  }
  emit DoubleClicked(index_);
}

void VideoPane::mousePressEvent(QMouseEvent* event) {
  emit Touched(index_);
  if (event->button() != Qt::LeftButton || !WantsFullFrame()) return QWidget::mousePressEvent(event);
  // The press starts a pan: it is the pane's alone.
  dragging_ = true;
  dragFrom_ = event->position();
  ShowCursor();
  event->accept();
}

void VideoPane::mouseMoveEvent(QMouseEvent* event) {
  const QRect picture = PictureRect();
  if (!dragging_ || picture.isEmpty()) return QWidget::mouseMoveEvent(event);
  const QPointF moved = event->position() - dragFrom_;
  dragFrom_ = event->position();
  SetZoom(PanBy(zoom_, moved.x() / picture.width(), moved.y() / picture.height()));
}

void VideoPane::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && dragging_) {
    dragging_ = false;
    ShowCursor();
  }
  QWidget::mouseReleaseEvent(event);
}

void VideoPane::wheelEvent(QWheelEvent* event) {
  const QRect picture = PictureRect();
  const int angle = event->angleDelta().y();
  if (picture.isEmpty() || angle == 0) return QWidget::wheelEvent(event);
  emit Touched(index_);
  const QPointF at = event->position();
  const double x = std::clamp((at.x() - picture.left()) / picture.width(), 0.0, 1.0);
  const double y = std::clamp((at.y() - picture.top()) / picture.height(), 0.0, 1.0);
  SetZoom(ZoomAbout(zoom_, WheelZoomFactor(angle), x, y));
  event->accept();
}

void VideoPane::ShowCursor() {
  if (!WantsFullFrame())
    unsetCursor();
  else
    setCursor(dragging_ ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
}
