#pragma once

#include <QDialog>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

// "File Conversion": a queue of original 2 channel recordings, converted one
// after another on a worker thread (clip::ConvertFile), with per-file and
// total progress. Modal; it closes itself when the queue is worked off.
//
// Threads: widgets on the window thread only. The worker reads the queue it
// was given at Convert, writes the status text (under a lock) and the file
// progress, and moves each finished file to the handled list by a queued
// call. Destroying the dialog cancels and joins the worker.
class CConvertDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kQueue = 1011, kHandled = 1012, kAdd = 1017, kRemove = 1016, kConvert = 1,
                       kStatus = 1018, kFileProgress = 1013, kTotalProgress = 1014;

  // `preQueued` paths are tested and queued (or refused with a message) as
  // the dialog starts.
  explicit CConvertDlg(QWidget* parent = nullptr, std::vector<std::string> preQueued = {});
  ~CConvertDlg() override;

  // Queues each path that is not queued yet (compared without regard to
  // case) and passes the original 2 channel test; the others get a message.
  void AddPaths(const std::vector<std::string>& paths);
  QWidget* Control(int id) const;
  bool IsRunning() const { return running_; }

  // The Cancel confirmation; tests answer it instead of a person.
  using Confirmation = std::function<bool(const std::string& question)>;
  static void SetConfirmationForTesting(Confirmation confirm);

 signals:
  // The worker has ended (queue done or cancelled).
  void ConversionEnded(bool cancelled);

 private:
  struct Shared;

  void AddFiles();
  void RemoveFiles();
  void OnConvertButton();
  void OnTimer();
  void OnFileHandled(const std::string& message);
  void OnWorkerDone();

  QListWidget* queue_ = nullptr;
  QListWidget* handled_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* convert_ = nullptr;
  QLineEdit* status_ = nullptr;
  QProgressBar* fileProgress_ = nullptr;
  QProgressBar* totalProgress_ = nullptr;
  QTimer timer_;
  bool running_ = false;
  bool cancelled_ = false;

  std::shared_ptr<Shared> shared_;
  std::thread worker_;
};
