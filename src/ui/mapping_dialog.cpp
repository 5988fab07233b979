#include "ui/mapping_dialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/settings.h"
#include "map/map_cache_file.h"
#include "map/trip_track.h"

namespace {

constexpr int kBarHeight = 38;  // the zoom row above the map

// The map area: paints the newest picture; never waits for the fetch thread.
class MapArea : public QWidget {
 public:
  MapArea(const QImage& picture, QWidget* parent) : QWidget(parent), picture_(picture) {
    setFixedSize(kViewSize, kViewSize);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (picture_.isNull()) {
      p.fillRect(rect(), palette().window());
    } else {
      p.drawImage(0, 0, picture_);
    }
  }

 private:
  const QImage& picture_;
};

}  // namespace

CMappingDlg::CMappingDlg(const std::string& recordingPath, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Mapping"));
  setModal(false);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* bar = new QWidget(this);
  bar->setFixedHeight(kBarHeight);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(8, 4, 8, 4);
  zoomIn_ = new QPushButton(QStringLiteral("+"), bar);
  zoomOut_ = new QPushButton(QStringLiteral("-"), bar);
  zoomIn_->setObjectName("zoomIn");
  zoomOut_->setObjectName("zoomOut");
  for (QPushButton* b : {zoomIn_, zoomOut_}) {
    b->setFixedWidth(32);
    b->setAutoDefault(false);
    row->addWidget(b);
  }
  row->addSpacing(12);
  row->addWidget(new QLabel(QStringLiteral("Zoom:"), bar));
  zoomDisplay_ = new QLineEdit(bar);
  zoomDisplay_->setObjectName("zoomDisplay");
  zoomDisplay_->setReadOnly(true);
  zoomDisplay_->setFixedWidth(40);
  row->addWidget(zoomDisplay_);
  row->addStretch();
  column->addWidget(bar);
  map_ = new MapArea(picture_, this);
  map_->setObjectName("map");
  column->addWidget(map_);
  status_ = new QLineEdit(map_);
  status_->setObjectName("status");
  status_->setReadOnly(true);
  status_->setAlignment(Qt::AlignCenter);
  status_->setGeometry(100, kViewSize / 2 - 12, kViewSize - 200, 24);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  zoomDisplay_->setText(QString::number(zoom_));
  // Until a map arrives (and with no position at all) the status says so.
  status_->setText(QString::fromUtf8(kNoMapText));
  connect(zoomIn_, &QPushButton::clicked, this, [this] { ZoomBy(+1); });
  connect(zoomOut_, &QPushButton::clicked, this, [this] { ZoomBy(-1); });

  fetcher_ = std::make_unique<MapFetcher>(
      ReadMapFetchSetup(ReadSetting, recordingPath.empty() ? std::string() : MapCachePath(recordingPath)));
  connect(fetcher_.get(), &MapFetcher::PictureReady, this, &CMappingDlg::OnPicture, Qt::QueuedConnection);
  if (!recordingPath.empty()) {
    trackThread_ = std::thread([this, recordingPath] {
      const std::shared_ptr<const TripTrack> track = SharedTripTrack(recordingPath, &cancelTrack_);
      if (cancelTrack_) return;
      // An empty track changes nothing on the map: no reason to draw again.
      if (!track->points.empty()) fetcher_->SetTrack(track->Positions());
      trackLoaded_ = true;
    });
  }
}

CMappingDlg::~CMappingDlg() {
  StopWork();
}

void CMappingDlg::StopWork() {
  cancelTrack_ = true;
  if (trackThread_.joinable()) trackThread_.join();
  if (fetcher_) fetcher_->Stop();
}

void CMappingDlg::closeEvent(QCloseEvent* event) {
  StopWork();
  QDialog::closeEvent(event);
}

void CMappingDlg::SetPosition(double latitude, double longitude) {
  fetcher_->SetPosition({latitude, longitude});
}

void CMappingDlg::ZoomBy(int step) {
  zoom_ = step > 0 ? ZoomedIn(zoom_) : ZoomedOut(zoom_);
  fetcher_->SetZoom(zoom_);
  zoomIn_->setEnabled(CanZoomIn(zoom_));
  zoomOut_->setEnabled(CanZoomOut(zoom_));
  // The zoom itself, as at the start; the view follows at once.
  zoomDisplay_->setText(QString::number(zoom_));
}

void CMappingDlg::OnPicture(const QImage& image, int status, int zoom) {
  // A picture composed for a zoom the user has already left is not shown.
  if (zoom != zoom_) return;
  if (!image.isNull()) picture_ = image;
  const auto s = static_cast<MapStatus>(status);
  status_->setText(QString::fromUtf8(::StatusText(s)));
  status_->setVisible(s != MapStatus::kShown);
  map_->update();
  ++picturesShown_;
  emit PictureShown();
}

QString CMappingDlg::ZoomText() const {
  return zoomDisplay_->text();
}
QString CMappingDlg::StatusText() const {
  return status_->text();
}
bool CMappingDlg::StatusShown() const {
  return !status_->isHidden();
}
