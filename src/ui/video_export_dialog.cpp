#include "ui/video_export_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>

namespace {

QDoubleSpinBox* SecondsBox(double value, double maximum, const char* name, QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setDecimals(2);
  box->setRange(0, maximum);
  box->setSuffix(QStringLiteral(" s"));
  box->setValue(value);
  return box;
}

}  // namespace

VideoExportDialog::VideoExportDialog(video_export::VideoExportRequest base, int64_t fromCentis,
                                     int64_t toCentis, int64_t lengthCentis,
                                     const std::array<bool, 4>& cameras, QWidget* parent)
    : QDialog(parent), base_(std::move(base)) {
  setWindowTitle(QStringLiteral("Export Video"));
  auto* form = new QFormLayout(this);
  const double total = double(lengthCentis) / 100.0;
  from_ = SecondsBox(double(fromCentis) / 100.0, total, "exportFrom", this);
  to_ = SecondsBox(double(toCentis) / 100.0, total, "exportTo", this);
  form->addRow(QStringLiteral("Start:"), from_);
  form->addRow(QStringLiteral("End:"), to_);
  auto* row = new QHBoxLayout;
  for (int c = 0; c < 4; ++c) {
    QCheckBox* box = new QCheckBox(QStringLiteral("Camera %1").arg(c + 1), this);
    box->setObjectName(QStringLiteral("exportCamera%1").arg(c + 1));
    box->setEnabled(cameras[std::size_t(c)]);
    box->setChecked(cameras[std::size_t(c)]);
    connect(box, &QCheckBox::toggled, this, &VideoExportDialog::UpdateExport);
    row->addWidget(box);
    cameras_[std::size_t(c)] = box;
  }
  form->addRow(QStringLiteral("Cameras:"), row);
  layout_ = new QComboBox(this);
  layout_->setObjectName(QStringLiteral("exportLayout"));
  layout_->addItems({QStringLiteral("Quad (2 x 2)"), QStringLiteral("Single (first camera)")});
  form->addRow(QStringLiteral("Layout:"), layout_);
  auto* outRow = new QHBoxLayout;
  destination_ = new QLineEdit(this);
  destination_->setObjectName(QStringLiteral("exportDestination"));
  auto* browse = new QPushButton(QStringLiteral("..."), this);
  outRow->addWidget(destination_);
  outRow->addWidget(browse);
  form->addRow(QStringLiteral("MP4 file:"), outRow);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Export Video"), {},
                                                      QStringLiteral("MP4 video (*.mp4)"));
    if (!file.isEmpty()) destination_->setText(file.endsWith(QStringLiteral(".mp4")) ? file : file + ".mp4");
  });
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("exportProgress"));
  progress_->setRange(0, 100);
  progress_->setValue(0);
  form->addRow(progress_);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("exportStatus"));
  form->addRow(status_);
  if (const std::size_t shapes = base_.redactions.items.size())
    status_->setText(QStringLiteral("Redacted: %1 shape(s) of %2 drawn over the pictures.")
                         .arg(shapes)
                         .arg(QString::fromStdString(base_.redactionListName)));
  auto* buttons = new QHBoxLayout;
  export_ = new QPushButton(QStringLiteral("Export"), this);
  export_->setObjectName(QStringLiteral("exportStart"));
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("exportCancel"));
  buttons->addStretch();
  buttons->addWidget(export_);
  buttons->addWidget(cancel_);
  form->addRow(buttons);
  connect(export_, &QPushButton::clicked, this, &VideoExportDialog::Start);
  connect(cancel_, &QPushButton::clicked, this, &VideoExportDialog::reject);
  connect(destination_, &QLineEdit::textChanged, this, &VideoExportDialog::UpdateExport);
  connect(from_, &QDoubleSpinBox::valueChanged, this, &VideoExportDialog::UpdateExport);
  connect(to_, &QDoubleSpinBox::valueChanged, this, &VideoExportDialog::UpdateExport);
  connect(this, &VideoExportDialog::ExportProgress, progress_, &QProgressBar::setValue, Qt::QueuedConnection);
  connect(this, &VideoExportDialog::ExportFinished, this, &VideoExportDialog::OnFinished,
          Qt::QueuedConnection);
  UpdateExport();
}

VideoExportDialog::~VideoExportDialog() {
  cancel_requested_.store(true);
  if (worker_.joinable()) worker_.join();
}

video_export::VideoExportRequest VideoExportDialog::Request() const {
  video_export::VideoExportRequest r = base_;
  r.startCentis = int64_t(std::llround(from_->value() * 100));
  r.endCentis = int64_t(std::llround(to_->value() * 100));
  for (int c = 0; c < 4; ++c) r.cameras[std::size_t(c)] = cameras_[std::size_t(c)]->isChecked();
  r.layout =
      layout_->currentIndex() == 0 ? video_export::ExportLayout::kQuad : video_export::ExportLayout::kSingle;
  r.destination = destination_->text().toStdString();
  return r;
}

void VideoExportDialog::UpdateExport() {
  const video_export::VideoExportRequest r = Request();
  export_->setEnabled(!IsRunning() && r.cameras != std::array<bool, 4>{} && r.endCentis > r.startCentis &&
                      !r.destination.empty());
}

void VideoExportDialog::Start() {
  if (IsRunning()) return;
  if (worker_.joinable()) worker_.join();  // the previous export, already finished
  const video_export::VideoExportRequest request = Request();
  cancel_requested_.store(false);
  finished_ = false;
  progress_->setValue(0);
  status_->setText(QStringLiteral("Exporting..."));
  export_->setEnabled(false);
  worker_ = std::thread([this, request] {
    int shown = -1;
    outcome_ = video_export::ExportVideo(request, cancel_requested_, [this, &shown](double fraction) {
      const int percent = int(fraction * 100);
      if (percent != shown) emit ExportProgress(shown = percent);
    });
    emit ExportFinished();
  });
}

void VideoExportDialog::OnFinished() {
  finished_ = true;
  if (worker_.joinable()) worker_.join();
  switch (outcome_.status) {
    case video_export::VideoExportStatus::kDone:
      progress_->setValue(100);
      status_->setText(QStringLiteral("Written: %1").arg(destination_->text()));
      break;
    case video_export::VideoExportStatus::kCancelled:
      progress_->setValue(0);
      status_->setText(QStringLiteral("Export cancelled; nothing was written."));
      break;
    default:
      status_->setText(QStringLiteral("Export failed: %1").arg(QString::fromStdString(outcome_.reason)));
      break;
  }
  UpdateExport();
}

void VideoExportDialog::reject() {
  // Cancel stops a running export first; pressed again (or when idle) it closes.
  if (IsRunning()) {
    cancel_requested_.store(true);
    return;
  }
  QDialog::reject();
}
