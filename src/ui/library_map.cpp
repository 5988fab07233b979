#include "ui/library_map.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "base/settings.h"
#include "map/map_composer.h"
#include "map/track_projection.h"

namespace {

constexpr int kFitMargin = 28;   // pixels kept clear round the marks of a fitted view
constexpr int kMaxFitZoom = 17;  // one result alone is shown with its streets, not its doorway
constexpr double kMarkerRadius = 7;
constexpr double kSelectedRadius = 10;
constexpr double kHitSlop = 4;                   // pixels beyond a marker a click still takes it
constexpr int kDragThreshold = 4;                // pixels a press moves before it pans
constexpr double kMetresPerDegree = 111320.0;    // of latitude, as the library's place search takes it
const QColor kMarkerColour(0xd0, 0x00, 0x7a);    // the track's colour in the map window
const QColor kSelectedColour(0x00, 0x50, 0xff);  // the vehicle's
const QColor kPlaceColour(0x00, 0x70, 0x30);

}  // namespace

LibraryMap::LibraryMap(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("libraryMap"));
  setMinimumSize(320, 260);
}

LibraryMap::~LibraryMap() = default;  // the fetcher joins its thread

void LibraryMap::showEvent(QShowEvent*) {
  if (fetcher_) return;
  // The source may have changed meanwhile: the old picture is not its.
  picture_ = QImage();
  pictureZoom_ = -1;
  statusText_.clear();
  MapFetchSetup setup = ReadMapFetchSetup(ReadSetting, std::string());
  setup.vehicle = false;
  fetcher_ = std::make_unique<MapFetcher>(std::move(setup));
  connect(fetcher_.get(), &MapFetcher::PictureReady, this, &LibraryMap::OnPicture, Qt::QueuedConnection);
  fetcher_->SetViewSize(width(), height());
  Ask();
}

void LibraryMap::hideEvent(QHideEvent*) {
  fetcher_.reset();
}

void LibraryMap::SetMarkers(std::vector<Marker> markers) {
  markers_ = std::move(markers);
  if (selected_ &&
      std::none_of(markers_.begin(), markers_.end(), [&](const Marker& m) { return m.id == *selected_; }))
    selected_.reset();
  Fit();
}

void LibraryMap::SetSelected(std::optional<int> id) {
  if (selected_ == id) return;
  selected_ = id;
  update();
}

void LibraryMap::SetPlace(std::optional<GeoPoint> place, double metres) {
  place_ = place;
  metres_ = metres;
  // A place set without a view shows it; a view the user has is kept.
  if (!centre_) Fit();
  update();
}

void LibraryMap::SetPicking(bool picking) {
  picking_ = picking;
  setCursor(picking ? Qt::CrossCursor : Qt::ArrowCursor);
}

void LibraryMap::Fit() {
  std::vector<GeoPoint> points;
  for (const Marker& m : markers_) points.push_back(m.at);
  if (place_) {
    // The circle's northern and southern edge; its width follows on the map.
    const double dLat = metres_ / kMetresPerDegree;
    points.push_back({place_->latitude + dLat, place_->longitude});
    points.push_back({place_->latitude - dLat, place_->longitude});
  }
  fitted_ = true;
  if (points.empty()) {
    centre_.reset();
    update();
    return;
  }
  centre_ = MiddleOfPoints(points);
  zoom_ = ZoomToShow(*centre_, points, width(), height(), kFitMargin, kMaxFitZoom);
  Ask();
}

void LibraryMap::Ask() {
  update();
  if (centre_ && fetcher_) fetcher_->SetView(*centre_, zoom_);
}

QPointF LibraryMap::PixelOf(const GeoPoint& point) const {
  if (!centre_) return {};
  const ViewPixel v = ProjectToView(point, *centre_, zoom_, 1.0, width(), height());
  return {v.x, v.y};
}

GeoPoint LibraryMap::PositionAt(const QPointF& pixel) const {
  if (!centre_) return {};
  return PositionOfView({pixel.x(), pixel.y()}, *centre_, zoom_, 1.0, width(), height());
}

double LibraryMap::PlaceRadiusPixels() const {
  if (!place_) return 0;
  const GeoPoint north{place_->latitude + metres_ / kMetresPerDegree, place_->longitude};
  return std::abs(PixelOf(*place_).y() - PixelOf(north).y());
}

std::optional<int> LibraryMap::MarkerAt(const QPointF& pixel) const {
  std::optional<int> best;
  double bestDistance = kSelectedRadius + kHitSlop;
  // The highlighted marker is drawn on top: it wins a tie.
  for (const Marker& m : markers_) {
    const QPointF d = PixelOf(m.at) - pixel;
    const double distance = std::hypot(d.x(), d.y());
    const double reach = (m.id == selected_ ? kSelectedRadius : kMarkerRadius) + kHitSlop;
    if (distance <= reach && (distance < bestDistance || (distance == bestDistance && m.id == selected_))) {
      best = m.id;
      bestDistance = distance;
    }
  }
  return best;
}

void LibraryMap::OnPicture(const QImage& image, int status, int zoom, double latitude, double longitude) {
  if (!image.isNull()) {
    picture_ = image;
    pictureCentre_ = {latitude, longitude};
    pictureZoom_ = zoom;
  } else if (zoom != pictureZoom_) {
    picture_ = QImage();
  }
  statusText_ = QString::fromUtf8(::StatusText(static_cast<MapStatus>(status)));
  update();
}

void LibraryMap::resizeEvent(QResizeEvent*) {
  if (fetcher_) fetcher_->SetViewSize(width(), height());
  if (fitted_)
    Fit();
  else
    Ask();
}

void LibraryMap::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor::fromRgba(kBlankMapColour));
  if (!centre_) {
    p.setPen(QColor(90, 90, 90));
    p.drawText(rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap,
               QStringLiteral("The results that have a position are shown here."));
    return;
  }
  // The newest picture where its own view puts it, so a pan shows at once
  // and the next picture follows.
  if (!picture_.isNull() && pictureZoom_ == zoom_) {
    const QPointF middle = PixelOf(pictureCentre_);
    p.drawImage(QPointF(middle.x() - picture_.width() / 2.0, middle.y() - picture_.height() / 2.0), picture_);
  }
  p.setRenderHint(QPainter::Antialiasing);
  if (place_) {
    const QPointF at = PixelOf(*place_);
    const double r = std::max(PlaceRadiusPixels(), 3.0);
    QColor fill = kPlaceColour;
    fill.setAlpha(40);
    p.setPen(QPen(kPlaceColour, 2, Qt::DashLine));
    p.setBrush(fill);
    p.drawEllipse(at, r, r);
    p.setPen(QPen(kPlaceColour, 2));
    p.drawLine(at + QPointF(-6, 0), at + QPointF(6, 0));
    p.drawLine(at + QPointF(0, -6), at + QPointF(0, 6));
  }
  const Marker* chosen = nullptr;
  for (const Marker& m : markers_) {
    if (m.id == selected_) {
      chosen = &m;
      continue;
    }
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(kMarkerColour);
    p.drawEllipse(PixelOf(m.at), kMarkerRadius, kMarkerRadius);
  }
  if (chosen) {
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(kSelectedColour);
    p.drawEllipse(PixelOf(chosen->at), kSelectedRadius, kSelectedRadius);
  }
  if (!statusText_.isEmpty()) {
    const QRect box = p.fontMetrics().boundingRect(statusText_).adjusted(-8, -4, 8, 4);
    const QRect placed(QPoint((width() - box.width()) / 2, 8), box.size());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawRoundedRect(placed, 4, 4);
    p.setPen(QColor(60, 60, 60));
    p.drawText(placed, Qt::AlignCenter, statusText_);
  }
}

void LibraryMap::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressedAt_ = event->position();
  pressedCentre_ = centre_.value_or(GeoPoint{});
  dragging_ = false;
}

void LibraryMap::mouseMoveEvent(QMouseEvent* event) {
  if (!pressedAt_ || !centre_) return;
  const QPointF moved = event->position() - *pressedAt_;
  if (!dragging_ && moved.manhattanLength() < kDragThreshold) return;
  dragging_ = true;
  fitted_ = false;
  // The point pressed stays under the pointer.
  const WorldPixel c = ProjectToWorld(pressedCentre_, zoom_);
  centre_ = PositionOfWorld({c.x - moved.x(), c.y - moved.y()}, zoom_);
  Ask();
}

void LibraryMap::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressedAt_) return;
  pressedAt_.reset();
  if (dragging_ || !centre_) return;
  if (picking_) {
    const GeoPoint at = PositionAt(event->position());
    emit PlacePicked(at.latitude, at.longitude);
    return;
  }
  if (const std::optional<int> id = MarkerAt(event->position())) emit MarkerClicked(*id);
}

void LibraryMap::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || picking_ || !centre_) return;
  if (const std::optional<int> id = MarkerAt(event->position())) emit MarkerDoubleClicked(*id);
}

void LibraryMap::wheelEvent(QWheelEvent* event) {
  if (!centre_ || event->angleDelta().y() == 0) return;
  const int zoom = event->angleDelta().y() > 0 ? ZoomedIn(zoom_) : ZoomedOut(zoom_);
  if (zoom == zoom_) return;
  // The position under the pointer stays there.
  const QPointF pointer = event->position();
  const GeoPoint under = PositionAt(pointer);
  const WorldPixel w = ProjectToWorld(under, zoom);
  zoom_ = zoom;
  fitted_ = false;
  centre_ =
      PositionOfWorld({w.x - (pointer.x() - width() / 2.0), w.y - (pointer.y() - height() / 2.0)}, zoom_);
  Ask();
}
