#include "ui/redaction_overlay.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "ui/video_pane.h"

RedactionOverlay::RedactionOverlay(VideoPane& pane, Outlines outlines)
    : QWidget(&pane), pane_(pane), outlines_(std::move(outlines)) {
  setObjectName(QStringLiteral("redactionOverlay%1").arg(pane.Index() + 1));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setGeometry(pane.rect());
  pane.installEventFilter(this);
  show();
}

void RedactionOverlay::SetArmed(bool armed) {
  armed_ = armed;
  dragging_ = false;
  setAttribute(Qt::WA_TransparentForMouseEvents, !armed);
  setCursor(armed ? Qt::CrossCursor : Qt::ArrowCursor);
  update();
}

bool RedactionOverlay::eventFilter(QObject* watched, QEvent* e) {
  if (watched == &pane_ && e->type() == QEvent::Resize) setGeometry(pane_.rect());
  return false;
}

RedactionOverlay::View RedactionOverlay::ViewOf() const {
  const SourceCrop crop = pane_.Crop();
  const int frameRows = pane_.Frame().height();
  if (crop.height <= 0 || frameRows <= 0) return {pane_.Index()};
  return {0, double(crop.top) / frameRows, double(crop.height) / frameRows};
}

redaction::Box RedactionOverlay::BoxOf(QPoint a, QPoint b) const {
  const QRect picture = pane_.PictureRect();
  if (picture.isEmpty()) return {};
  const QRect r = QRect(a, b).normalized().intersected(picture);
  const View view = ViewOf();
  return {double(r.x() - picture.x()) / picture.width(),
          view.top + view.rows * double(r.y() - picture.y()) / picture.height(),
          double(r.width()) / picture.width(), view.rows * double(r.height()) / picture.height()};
}

void RedactionOverlay::paintEvent(QPaintEvent*) {
  const QRect picture = pane_.PictureRect();
  if (picture.isEmpty()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setClipRect(picture);
  const View view = ViewOf();
  auto draw = [&](redaction::Shape shape, const redaction::Box& b, const QColor& colour) {
    const QRectF r(picture.x() + b.x * picture.width(),
                   picture.y() + (b.y - view.top) / view.rows * picture.height(), b.width * picture.width(),
                   b.height / view.rows * picture.height());
    p.setPen(QPen(colour, 2, Qt::DashLine));
    if (shape == redaction::Shape::kEllipse)
      p.drawEllipse(r);
    else
      p.drawRect(r);
  };
  for (const Outline& o : outlines_(view.camera)) draw(o.shape, o.box, o.selected ? Qt::yellow : Qt::cyan);
  if (dragging_) draw(redaction::Shape::kRectangle, BoxOf(from_, to_), Qt::red);
}

void RedactionOverlay::mousePressEvent(QMouseEvent* e) {
  if (!armed_ || e->button() != Qt::LeftButton) return;
  dragging_ = true;
  from_ = to_ = e->position().toPoint();
}

void RedactionOverlay::mouseMoveEvent(QMouseEvent* e) {
  if (!dragging_) return;
  to_ = e->position().toPoint();
  update();
}

void RedactionOverlay::mouseReleaseEvent(QMouseEvent* e) {
  if (!dragging_ || e->button() != Qt::LeftButton) return;
  dragging_ = false;
  to_ = e->position().toPoint();
  const redaction::Box box = BoxOf(from_, to_);
  update();
  // A click without a drag places nothing.
  const QRect drawn = QRect(from_, to_).normalized().intersected(pane_.PictureRect());
  if (drawn.width() >= 4 && drawn.height() >= 4) emit Drawn(ViewOf().camera, box);
}
