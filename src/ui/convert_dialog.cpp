#include "ui/convert_dialog.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "clip/two_channel_conversion.h"
#include "ui/message_box.h"

namespace {

constexpr int kTimerMs = 200;
constexpr int kFileRange = 1000;

CConvertDlg::Confirmation& ConfirmationSeam() {
  static CConvertDlg::Confirmation confirm;
  return confirm;
}

bool Confirm(QWidget* parent, const std::string& question) {
  if (ConfirmationSeam()) return ConfirmationSeam()(question);
  return QMessageBox::question(parent, "Varden Video Player", QString::fromStdString(question),
                               QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

}  // namespace

struct CConvertDlg::Shared {
  std::atomic<bool> cancel{false};
  std::atomic<int> fileProgress{0};
  std::mutex lock;  // guards status
  std::string status;
};

void CConvertDlg::SetConfirmationForTesting(Confirmation confirm) {
  ConfirmationSeam() = std::move(confirm);
}

CConvertDlg::CConvertDlg(QWidget* parent, std::vector<std::string> preQueued) : QDialog(parent) {
  setWindowTitle("File Conversion");
  queue_ = new QListWidget(this);
  handled_ = new QListWidget(this);
  add_ = new QPushButton("Add File(s)", this);
  remove_ = new QPushButton("Remove File(s)", this);
  convert_ = new QPushButton("Convert", this);
  status_ = new QLineEdit(this);
  fileProgress_ = new QProgressBar(this);
  totalProgress_ = new QProgressBar(this);
  const std::pair<QWidget*, int> ids[] = {{queue_, kQueue},
                                          {handled_, kHandled},
                                          {add_, kAdd},
                                          {remove_, kRemove},
                                          {convert_, kConvert},
                                          {status_, kStatus},
                                          {fileProgress_, kFileProgress},
                                          {totalProgress_, kTotalProgress}};
  for (const auto& [w, id] : ids) w->setObjectName(QString::number(id));
  queue_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  status_->setReadOnly(true);
  fileProgress_->setRange(0, kFileRange);

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Files To Convert:", this), 0, 0);
  grid->addWidget(new QLabel("Files Converted:", this), 0, 2);
  grid->addWidget(queue_, 1, 0);
  grid->addWidget(new QLabel("-->", this), 1, 1);
  grid->addWidget(handled_, 1, 2);
  grid->addWidget(add_, 2, 0);
  grid->addWidget(remove_, 3, 0);
  grid->addWidget(status_, 2, 2);
  grid->addWidget(new QLabel("File Progress:", this), 4, 0);
  grid->addWidget(fileProgress_, 4, 1, 1, 2);
  grid->addWidget(new QLabel("Total Progress:", this), 5, 0);
  grid->addWidget(totalProgress_, 5, 1, 1, 2);
  grid->addWidget(convert_, 6, 2);
  convert_->setDefault(true);

  connect(add_, &QPushButton::clicked, this, &CConvertDlg::AddFiles);
  connect(remove_, &QPushButton::clicked, this, &CConvertDlg::RemoveFiles);
  connect(convert_, &QPushButton::clicked, this, &CConvertDlg::OnConvertButton);
  connect(queue_, &QListWidget::itemSelectionChanged, this,
          [this] { remove_->setEnabled(!queue_->selectedItems().isEmpty()); });
  timer_.setInterval(kTimerMs);
  connect(&timer_, &QTimer::timeout, this, &CConvertDlg::OnTimer);

  AddPaths(preQueued);
  remove_->setEnabled(false);
  fileProgress_->setEnabled(false);
  totalProgress_->setEnabled(false);
}

CConvertDlg::~CConvertDlg() {
  if (shared_) shared_->cancel = true;
  if (worker_.joinable()) worker_.join();
}

QWidget* CConvertDlg::Control(int id) const {
  return findChild<QWidget*>(QString::number(id));
}

void CConvertDlg::AddPaths(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    const QString text = QString::fromStdString(path);
    bool queued = false;
    for (int i = 0; i < queue_->count() && !queued; ++i)
      queued = queue_->item(i)->text().compare(text, Qt::CaseInsensitive) == 0;
    if (queued) continue;
    if (clip::IsOriginalTwoChannel(path)) {
      queue_->addItem(text);
    } else {
      ShowPlayerMessage(this, path +
                                  " is not an original 2 channel file, or it can't be opened. It will not be "
                                  "queued for conversion");
    }
  }
}

void CConvertDlg::AddFiles() {
  const QStringList chosen =
      QFileDialog::getOpenFileNames(this, QString(), QString(), "AVI movie Files (*.avi);;All Files (*.*)");
  std::vector<std::string> paths;
  for (const QString& p : chosen) paths.push_back(p.toStdString());
  AddPaths(paths);
}

void CConvertDlg::RemoveFiles() {
  qDeleteAll(queue_->selectedItems());
  remove_->setEnabled(false);
}

void CConvertDlg::OnConvertButton() {
  if (running_) {
    if (!Confirm(this, "Are you sure you want to cancel conversion?")) return;
    cancelled_ = true;
    shared_->cancel = true;
    convert_->setEnabled(false);  // the worker stops within a chunk; its end closes the dialog
    return;
  }
  if (queue_->count() == 0) {
    ShowPlayerMessage(this, "Nothing to Convert");
    return;
  }
  remove_->setEnabled(false);
  add_->setEnabled(false);
  convert_->setText("Cancel");
  fileProgress_->setEnabled(true);
  totalProgress_->setEnabled(true);
  totalProgress_->setRange(0, queue_->count());
  fileProgress_->setRange(0, kFileRange);
  running_ = true;
  cancelled_ = false;
  std::vector<std::string> files;
  for (int i = 0; i < queue_->count(); ++i) files.push_back(queue_->item(i)->text().toStdString());
  shared_ = std::make_shared<Shared>();
  worker_ = std::thread([this, shared = shared_, files = std::move(files)] {
    // A cancel stops the file under way (left as it was) and the ones after
    // it; the file under way still counts as handled.
    for (const std::string& file : files) {
      {
        std::lock_guard<std::mutex> l(shared->lock);
        shared->status = "Converting " + file + "...";
      }
      const clip::ConvertOutcome outcome =
          clip::ConvertFile(file, shared->cancel, [&shared](int p) { shared->fileProgress = p; });
      shared->fileProgress = kFileRange;
      std::string message = outcome.message;
      if (!message.empty() && !outcome.detail.empty()) message += "\n" + outcome.detail;
      // The dialog joins this thread before it goes away.
      QMetaObject::invokeMethod(
          this, [this, message] { OnFileHandled(message); }, Qt::QueuedConnection);
      if (shared->cancel) break;
    }
    QMetaObject::invokeMethod(
        this, [this] { OnWorkerDone(); }, Qt::QueuedConnection);
  });
  timer_.start();
}

void CConvertDlg::OnFileHandled(const std::string& message) {
  // Whatever the outcome, the file moves on to the handled list.
  if (queue_->count() > 0) handled_->addItem(queue_->takeItem(0));
  if (!message.empty()) ShowPlayerMessage(this, message);
}

void CConvertDlg::OnTimer() {
  if (!shared_) return;
  {
    std::lock_guard<std::mutex> l(shared_->lock);
    status_->setText(QString::fromStdString(shared_->status));
  }
  fileProgress_->setValue(shared_->fileProgress);
  totalProgress_->setValue(handled_->count());
}

void CConvertDlg::OnWorkerDone() {
  if (worker_.joinable()) worker_.join();
  timer_.stop();
  OnTimer();
  running_ = false;
  emit ConversionEnded(cancelled_);
  if (cancelled_) {
    reject();
  } else {
    accept();
  }
}
