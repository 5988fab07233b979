#include "ui/clip_extract_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "clip/extraction_plan.h"
#include "engine/camera_streams.h"
#include "ui/message_box.h"

namespace {

constexpr const char* kNotSet = "Not Set...";
constexpr int kTimerMs = 100;
constexpr int kProgressRange = 1000;

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

struct CVideoClipExtractDlg::Shared {
  std::atomic<bool> cancel{false};
  std::atomic<double> progress{0};
};

CVideoClipExtractDlg::CVideoClipExtractDlg(std::vector<clip::ClipSourceFile> files, int64_t currentPosition,
                                           bool fourChannel, std::vector<std::string> triggerNames,
                                           std::string dvrTitle, QWidget* parent)
    : QDialog(parent),
      files_(std::move(files)),
      triggerNames_(std::move(triggerNames)),
      dvrTitle_(std::move(dvrTitle)),
      current_(currentPosition) {
  setWindowTitle("Video Clip Extraction");
  setModal(false);
  auto named = [](QWidget* w, int id) {
    w->setObjectName(QString::number(id));
    return w;
  };
  destination_ = new QLineEdit(this);
  browse_ = new QPushButton("...", this);
  setStart_ = new QPushButton("Set Start", this);
  setEnd_ = new QPushButton("Set End", this);
  startField_ = new QLineEdit(kNotSet, this);
  endField_ = new QLineEdit(kNotSet, this);
  currentField_ = new QLineEdit(Text(clip::FormatPosition(current_)), this);
  extract_ = new QPushButton("Extract", this);
  progress_ = new QProgressBar(this);
  named(destination_, kDestination);
  named(browse_, kBrowse);
  named(setStart_, kSetStart);
  named(setEnd_, kSetEnd);
  named(startField_, kStartField);
  named(endField_, kEndField);
  named(currentField_, kCurrentField);
  named(extract_, kExtract);
  named(progress_, kProgress);
  for (QLineEdit* f : {startField_, endField_, currentField_}) f->setReadOnly(true);
  progress_->setRange(0, kProgressRange);
  progress_->setValue(0);
  progress_->setTextVisible(false);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Destination:", this), 0, 0);
  grid->addWidget(destination_, 0, 1, 1, 4);
  grid->addWidget(browse_, 0, 5);
  auto* startBox = new QGroupBox("Start Position:", this);
  (new QHBoxLayout(startBox))->addWidget(startField_);
  auto* endBox = new QGroupBox("End Position:", this);
  (new QHBoxLayout(endBox))->addWidget(endField_);
  grid->addWidget(startBox, 1, 0, 1, 2);
  grid->addWidget(endBox, 1, 2, 1, 2);
  grid->addWidget(setStart_, 1, 4);
  grid->addWidget(setEnd_, 1, 5);
  grid->addWidget(new QLabel("Current Video Play Position:", this), 2, 0, 1, 2);
  grid->addWidget(currentField_, 2, 2, 1, 2);
  // Header reads only: the first file's cameras, each by its own number.
  const std::array<bool, 4> present =
      files_.empty() ? std::array<bool, 4>{} : CamerasWithVideo(files_[0].path);
  for (int c = 0; c < 4; ++c) {
    cameras_[std::size_t(c)] = new QCheckBox("Camera " + QString::number(c + 1), this);
    named(cameras_[std::size_t(c)], kCameraBoxes[std::size_t(c)]);
    grid->addWidget(cameras_[std::size_t(c)], 3, c);
    const bool offered = clip::CameraOffered(fourChannel, present, c);
    cameras_[std::size_t(c)]->setEnabled(offered);
    cameras_[std::size_t(c)]->setChecked(offered);
    connect(cameras_[std::size_t(c)], &QCheckBox::clicked, this, &CVideoClipExtractDlg::UpdateExtractButton);
  }
  grid->addWidget(extract_, 3, 5);
  grid->addWidget(progress_, 4, 0, 1, 6);
  progress_->setEnabled(false);
  extract_->setEnabled(false);
  extract_->setDefault(true);

  connect(browse_, &QPushButton::clicked, this, &CVideoClipExtractDlg::Browse);
  connect(setStart_, &QPushButton::clicked, this, &CVideoClipExtractDlg::SetStart);
  connect(setEnd_, &QPushButton::clicked, this, &CVideoClipExtractDlg::SetEnd);
  connect(destination_, &QLineEdit::textEdited, this, &CVideoClipExtractDlg::UpdateExtractButton);
  connect(destination_, &QLineEdit::textChanged, this, &CVideoClipExtractDlg::UpdateExtractButton);
  connect(extract_, &QPushButton::clicked, this, &CVideoClipExtractDlg::OnExtractButton);
  timer_.setInterval(kTimerMs);
  connect(&timer_, &QTimer::timeout, this, &CVideoClipExtractDlg::OnTimer);
}

CVideoClipExtractDlg::~CVideoClipExtractDlg() {
  if (shared_) shared_->cancel = true;
  if (worker_.joinable()) worker_.join();
}

QWidget* CVideoClipExtractDlg::Control(int id) const {
  return findChild<QWidget*>(QString::number(id));
}

void CVideoClipExtractDlg::SetCurrentPosition(int64_t centis) {
  current_ = centis;
  currentField_->setText(Text(clip::FormatPosition(centis)));
}

void CVideoClipExtractDlg::UpdateExtractButton() {
  if (running_) return;
  std::array<bool, 4> checked{};
  for (std::size_t c = 0; c < 4; ++c) checked[c] = cameras_[c]->isChecked();
  extract_->setEnabled(clip::ExtractPossible(checked, start_, end_, destination_->text().toStdString()));
}

void CVideoClipExtractDlg::Browse() {
  QFileDialog dialog(this, QString(), QString(), "AVI movie files (*.avi);;All Files (*.*)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("avi");
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    destination_->setText(dialog.selectedFiles().front());
  UpdateExtractButton();
}

void CVideoClipExtractDlg::SetStart() {
  start_ = current_;
  startField_->setText(Text(clip::FormatPosition(start_)));
  UpdateExtractButton();
}

void CVideoClipExtractDlg::SetEnd() {
  end_ = current_;
  endField_->setText(Text(clip::FormatPosition(end_)));
  UpdateExtractButton();
}

void CVideoClipExtractDlg::OnExtractButton() {
  if (running_) {
    CancelExtraction();
  } else {
    StartExtraction();
  }
}

void CVideoClipExtractDlg::StartExtraction() {
  for (QWidget* w : std::initializer_list<QWidget*>{destination_, browse_, setStart_, setEnd_})
    w->setEnabled(false);
  for (QCheckBox* c : cameras_) c->setEnabled(false);
  extract_->setText("Cancel");
  progress_->setEnabled(true);
  progress_->setRange(0, kProgressRange);
  progress_->setValue(0);

  clip::ExtractRequest request;
  request.files = files_;
  request.startCentis = start_;
  request.endCentis = end_;
  for (std::size_t c = 0; c < 4; ++c) request.cameras[c] = cameras_[c]->isChecked();
  request.destination = destination_->text().toStdString();
  request.triggerNames = triggerNames_;
  request.dvrTitle = dvrTitle_;

  running_ = true;
  shared_ = std::make_shared<Shared>();
  worker_ = std::thread([this, shared = shared_, request = std::move(request), hook = progressHook_] {
    const clip::ExtractOutcome outcome = clip::ExtractClip(request, shared->cancel, [&](double f) {
      shared->progress = f;
      if (hook) hook(shared->cancel);
    });
    // The dialog joins this thread before it goes away, so it is alive here;
    // the call runs on the window thread.
    QMetaObject::invokeMethod(
        this, [this, outcome] { OnWorkerDone(outcome); }, Qt::QueuedConnection);
  });
  timer_.start();
}

void CVideoClipExtractDlg::CancelExtraction() {
  // The worker winds down within a frame; its outcome closes the dialog.
  timer_.stop();
  shared_->cancel = true;
  extract_->setEnabled(false);
}

void CVideoClipExtractDlg::OnTimer() {
  if (shared_) progress_->setValue(int(shared_->progress.load() * kProgressRange));
}

void CVideoClipExtractDlg::OnWorkerDone(const clip::ExtractOutcome& outcome) {
  if (worker_.joinable()) worker_.join();
  timer_.stop();
  running_ = false;
  switch (outcome.status) {
    case clip::ExtractStatus::Done:
    case clip::ExtractStatus::NothingToDo:
      break;
    case clip::ExtractStatus::Cancelled:
      ShowPlayerMessage(this, "Extraction Cancelled");
      break;
    case clip::ExtractStatus::NoFrames:
    case clip::ExtractStatus::ReadFailed:
    case clip::ExtractStatus::WriteFailed:
    case clip::ExtractStatus::OutputRefused:
      ShowPlayerMessage(this, outcome.message + (outcome.detail.empty() ? "" : "\n" + outcome.detail));
      break;
  }
  emit ExtractionEnded(int(outcome.status));
  Finish();
}

void CVideoClipExtractDlg::Finish() {
  open_ = false;
  hide();
}

void CVideoClipExtractDlg::closeEvent(QCloseEvent* event) {
  open_ = false;
  QDialog::closeEvent(event);
}

void CVideoClipExtractDlg::reject() {
  open_ = false;
  QDialog::reject();
}
