#include "ui/library_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "evidence/track_points.h"
#include "library/search_time.h"
#include "ui/library_controller.h"
#include "ui/library_map.h"

namespace {

enum Column { kRecording, kTime, kEvent, kPlace, kColumns };
constexpr int kPathRole = Qt::UserRole, kCentisRole = Qt::UserRole + 1, kHitRole = Qt::UserRole + 3;

// A table cell that sorts by `key` rather than by its text.
class SortedItem : public QTableWidgetItem {
 public:
  SortedItem(const QString& text, QVariant key) : QTableWidgetItem(text) { setData(Qt::UserRole + 2, key); }
  bool operator<(const QTableWidgetItem& other) const override {
    return QVariant::compare(data(Qt::UserRole + 2), other.data(Qt::UserRole + 2)) == QPartialOrdering::Less;
  }
};

bool ParseBound(const QString& text, bool end, std::optional<library::TimeBound>& out) {
  if (text.trimmed().isEmpty()) return true;
  library::TimeBound b;
  if (!library::ParseSearchTime(text.trimmed().toStdString(), end, b)) return false;
  out = b;
  return true;
}

}  // namespace

LibraryDialog::LibraryDialog(LibraryController& controller, QWidget* parent)
    : QDialog(parent), controller_(controller) {
  setWindowTitle(QStringLiteral("Library"));
  auto* form = new QFormLayout;
  title_ = new QLineEdit(this);
  title_->setObjectName(QStringLiteral("title"));
  title_->setPlaceholderText(QStringLiteral("part of the DVR title"));
  form->addRow(QStringLiteral("DVR title:"), title_);
  from_ = new QLineEdit(this);
  from_->setObjectName(QStringLiteral("from"));
  to_ = new QLineEdit(this);
  to_->setObjectName(QStringLiteral("to"));
  for (QLineEdit* e : {from_, to_})
    e->setPlaceholderText(QStringLiteral("2011-03-01T14:05 (local), ...Z (UTC)"));
  auto* range = new QHBoxLayout;
  range->addWidget(from_);
  range->addWidget(new QLabel(QStringLiteral("to"), this));
  range->addWidget(to_);
  form->addRow(QStringLiteral("Between:"), range);
  event_ = new QComboBox(this);
  event_->setObjectName(QStringLiteral("event"));
  event_->addItems({QStringLiteral("Recordings"), QStringLiteral("Harsh motion"), QStringLiteral("Trigger")});
  trigger_ = new QLineEdit(this);
  trigger_->setObjectName(QStringLiteral("trigger"));
  trigger_->setPlaceholderText(QStringLiteral("trigger name (any)"));
  auto* events = new QHBoxLayout;
  events->addWidget(event_);
  events->addWidget(trigger_);
  form->addRow(QStringLiteral("Show:"), events);
  near_ = new QCheckBox(QStringLiteral("Near"), this);
  near_->setObjectName(QStringLiteral("near"));
  latitude_ = new QDoubleSpinBox(this);
  latitude_->setRange(-90, 90);
  longitude_ = new QDoubleSpinBox(this);
  longitude_->setRange(-180, 180);
  for (QDoubleSpinBox* d : {latitude_, longitude_}) d->setDecimals(6);
  metres_ = new QDoubleSpinBox(this);
  metres_->setRange(1, 1e6);
  metres_->setValue(100);
  metres_->setSuffix(QStringLiteral(" m"));
  latitude_->setObjectName(QStringLiteral("latitude"));
  longitude_->setObjectName(QStringLiteral("longitude"));
  metres_->setObjectName(QStringLiteral("metres"));
  metres_->setToolTip(QStringLiteral("The radius of the place, drawn on the map"));
  pick_ = new QPushButton(QStringLiteral("Pick on Map"), this);
  pick_->setObjectName(QStringLiteral("pickPlace"));
  pick_->setCheckable(true);
  pick_->setAutoDefault(false);
  pick_->setToolTip(QStringLiteral("The next click on the map sets the place"));
  auto* place = new QHBoxLayout;
  place->addWidget(near_);
  place->addWidget(new QLabel(QStringLiteral("latitude"), this));
  place->addWidget(latitude_);
  place->addWidget(new QLabel(QStringLiteral("longitude"), this));
  place->addWidget(longitude_);
  place->addWidget(new QLabel(QStringLiteral("radius"), this));
  place->addWidget(metres_);
  place->addWidget(pick_);
  place->addStretch();
  form->addRow(QStringLiteral("Place:"), place);
  findings_ = new QCheckBox(QStringLiteral("Only recordings whose check found something"), this);
  findings_->setObjectName(QStringLiteral("findings"));
  form->addRow(QString(), findings_);

  results_ = new QTableWidget(0, kColumns, this);
  results_->setObjectName(QStringLiteral("results"));
  results_->setHorizontalHeaderLabels({QStringLiteral("Recording"), QStringLiteral("Time (UTC)"),
                                       QStringLiteral("Event"), QStringLiteral("Place")});
  results_->horizontalHeader()->setStretchLastSection(true);
  results_->setSelectionBehavior(QAbstractItemView::SelectRows);
  results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  results_->setSortingEnabled(true);
  results_->setAlternatingRowColors(true);
  results_->setSelectionMode(QAbstractItemView::SingleSelection);
  results_->verticalHeader()->hide();
  connect(results_, &QTableWidget::cellDoubleClicked, this, &LibraryDialog::OpenRow);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->hide();
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);
  status_->setText(QString::fromStdString("Library: " + controller_.Location()));
  search_ = new QPushButton(QStringLiteral("Search"), this);
  search_->setObjectName(QStringLiteral("search"));
  search_->setDefault(true);
  index_ = new QPushButton(QStringLiteral("Index Folder..."), this);
  index_->setObjectName(QStringLiteral("indexFolder"));
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setEnabled(false);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  connect(search_, &QPushButton::clicked, this, &LibraryDialog::RunSearch);
  connect(index_, &QPushButton::clicked, this, [this] {
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Index Folder"));
    if (!folder.isEmpty()) StartIndexing(folder);
  });
  connect(cancel_, &QPushButton::clicked, this, [this] { controller_.Cancel(); });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(search_);
  buttons->addWidget(index_);
  buttons->addWidget(cancel_);
  buttons->addStretch();
  buttons->addWidget(close);

  map_ = new LibraryMap(this);
  auto* fit = new QPushButton(QStringLiteral("Fit to Results"), this);
  fit->setObjectName(QStringLiteral("fitMap"));
  fit->setAutoDefault(false);
  connect(fit, &QPushButton::clicked, map_, &LibraryMap::Fit);
  auto* mapHint =
      new QLabel(QStringLiteral("Drag to pan, wheel to zoom; a click on a marker chooses its result."), this);
  mapHint->setWordWrap(true);
  auto* mapBar = new QHBoxLayout;
  mapBar->setContentsMargins(0, 0, 0, 0);
  mapBar->addWidget(mapHint, 1);
  mapBar->addWidget(fit);
  auto* mapColumn = new QWidget(this);
  auto* mapLayout = new QVBoxLayout(mapColumn);
  mapLayout->setContentsMargins(0, 0, 0, 0);
  mapLayout->addWidget(map_, 1);
  mapLayout->addLayout(mapBar);
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->setObjectName(QStringLiteral("resultsSplit"));
  split->setChildrenCollapsible(false);
  split->addWidget(results_);
  split->addWidget(mapColumn);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 1);
  // The list wide enough for its four columns, the map the rest.
  split->setSizes({560, 600});

  connect(pick_, &QPushButton::toggled, map_, &LibraryMap::SetPicking);
  connect(map_, &LibraryMap::PlacePicked, this, [this](double latitude, double longitude) {
    latitude_->setValue(latitude);
    longitude_->setValue(longitude);
    near_->setChecked(true);
    pick_->setChecked(false);
    status_->setText(QStringLiteral("Place set; Search finds what lies within the radius."));
  });
  connect(near_, &QCheckBox::toggled, this, &LibraryDialog::ShowPlace);
  for (QDoubleSpinBox* d : {latitude_, longitude_, metres_})
    connect(d, &QDoubleSpinBox::valueChanged, this, &LibraryDialog::ShowPlace);
  connect(map_, &LibraryMap::MarkerClicked, this, &LibraryDialog::SelectHit);
  connect(map_, &LibraryMap::MarkerDoubleClicked, this, [this](int id) {
    if (const int row = SelectHit(id); row >= 0) OpenRow(row);
  });
  connect(results_, &QTableWidget::itemSelectionChanged, this, [this] {
    const QList<QTableWidgetItem*> chosen = results_->selectedItems();
    const QTableWidgetItem* item =
        chosen.isEmpty() ? nullptr : results_->item(chosen.front()->row(), kRecording);
    map_->SetSelected(item ? std::optional<int>(item->data(kHitRole).toInt()) : std::nullopt);
  });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(split, 1);
  layout->addWidget(progress_);
  layout->addWidget(status_);
  layout->addLayout(buttons);
  resize(1220, 860);

  connect(&controller_, &LibraryController::SearchFinished, this, &LibraryDialog::ShowHits);
  connect(&controller_, &LibraryController::IndexProgress, this, [this](int done, int total) {
    progress_->setRange(0, total);
    progress_->setValue(done);
  });
  connect(&controller_, &LibraryController::IndexFinished, this, [this](const QString& summary) {
    SetBusy(false);
    progress_->hide();
    status_->setText(summary);
  });
}

bool LibraryDialog::Query(library::SearchQuery& q, QString& error) const {
  q = {};
  if (!title_->text().trimmed().isEmpty()) q.title = title_->text().trimmed().toStdString();
  if (!ParseBound(from_->text(), false, q.from) || !ParseBound(to_->text(), true, q.to)) {
    error = QStringLiteral(
        "Times are dates with times, such as 2011-03-01T14:05 (the DVR's local time) or "
        "2011-03-01T22:05Z (UTC).");
    return false;
  }
  if (event_->currentIndex() == 1) q.eventKind = "harsh";
  if (event_->currentIndex() == 2) {
    q.eventKind = "trigger";
    if (!trigger_->text().trimmed().isEmpty()) q.eventName = trigger_->text().trimmed().toStdString();
  }
  if (near_->isChecked()) {
    q.nearLatitude = latitude_->value();
    q.nearLongitude = longitude_->value();
    q.nearMetres = metres_->value();
  }
  q.findings = findings_->isChecked();
  return true;
}

void LibraryDialog::RunSearch() {
  library::SearchQuery q;
  QString error;
  if (!Query(q, error)) {
    status_->setText(error);
    return;
  }
  if (controller_.Search(q)) {
    SetBusy(true);
    status_->setText(QStringLiteral("Searching..."));
  }
}

void LibraryDialog::StartIndexing(const QString& folder) {
  if (!controller_.IndexFolder(folder.toStdString())) return;
  SetBusy(true);
  progress_->setRange(0, 0);
  progress_->show();
  status_->setText(QStringLiteral("Indexing %1...").arg(folder));
}

void LibraryDialog::ShowPlace() {
  map_->SetPlace(near_->isChecked()
                     ? std::optional<GeoPoint>(GeoPoint{latitude_->value(), longitude_->value()})
                     : std::nullopt,
                 metres_->value());
}

int LibraryDialog::SelectHit(int id) {
  for (int row = 0; row < results_->rowCount(); ++row) {
    const QTableWidgetItem* item = results_->item(row, kRecording);
    if (!item || item->data(kHitRole).toInt() != id) continue;
    results_->selectRow(row);
    results_->scrollToItem(item);
    return row;
  }
  return -1;
}

void LibraryDialog::OpenRow(int row) {
  const QTableWidgetItem* item = results_->item(row, kRecording);
  if (item) emit OpenRequested(item->data(kPathRole).toString(), item->data(kCentisRole).toLongLong());
}

void LibraryDialog::SetBusy(bool busy) {
  search_->setEnabled(!busy);
  index_->setEnabled(!busy);
  cancel_->setEnabled(busy);
}

void LibraryDialog::ShowHits(const std::vector<library::SearchHit>& hits, const QString& error) {
  SetBusy(false);
  results_->setSortingEnabled(false);
  results_->setRowCount(0);
  std::vector<LibraryMap::Marker> markers;
  if (!error.isEmpty()) {
    map_->SetMarkers(markers);
    status_->setText(error);
    return;
  }
  results_->setRowCount(int(hits.size()));
  for (int row = 0; row < int(hits.size()); ++row) {
    const library::SearchHit& h = hits[std::size_t(row)];
    const QString path = QString::fromStdString(h.path);
    auto* recording = new SortedItem(path.section(QLatin1Char('/'), -1), path);
    recording->setToolTip(path);
    recording->setData(kPathRole, path);
    recording->setData(kCentisRole, qint64(h.centis));
    recording->setData(kHitRole, row);
    if (h.latitude && h.longitude) markers.push_back({{*h.latitude, *h.longitude}, row});
    results_->setItem(row, kRecording, recording);
    const QString time = h.utcMillis ? QString::fromStdString(evidence::Iso8601Utc(*h.utcMillis)) : QString();
    results_->setItem(row, kTime, new SortedItem(time, qlonglong(h.utcMillis.value_or(0))));
    QString event = QString::fromStdString(h.kind);
    if (!h.name.empty()) event += QStringLiteral(" ") + QString::fromStdString(h.name);
    if (!h.value.empty()) event += QStringLiteral(" ") + QString::fromStdString(h.value);
    if (h.kind == "recording") event = QString::fromStdString(h.checkSummary);
    results_->setItem(row, kEvent, new SortedItem(event, event));
    const QString place =
        h.latitude && h.longitude
            ? QStringLiteral("%1, %2").arg(*h.latitude, 0, 'f', 6).arg(*h.longitude, 0, 'f', 6)
            : QString();
    results_->setItem(row, kPlace, new SortedItem(place, h.latitude.value_or(0)));
  }
  results_->setSortingEnabled(true);
  results_->resizeColumnsToContents();
  map_->SetMarkers(std::move(markers));
  status_->setText(QStringLiteral("%1 found, %2 of them on the map; a double-click opens one there")
                       .arg(hits.size())
                       .arg(map_->Markers().size()));
}
