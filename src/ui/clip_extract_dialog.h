#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "clip/clip_extraction.h"

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

// "Video Clip Extraction": the user marks a start and an end from the play
// position the main window keeps pushing, picks cameras and a destination,
// and presses Extract; a worker thread cuts the range into AVI files
// (ExtractClip) while a 100 ms timer shows its progress. Modeless; the main
// window owns it and destroys it once it reports itself closed.
//
// Threads: every member runs on the window thread. The worker only writes
// the shared progress value and cancel flag's reader side, and hands its
// outcome back by a queued call. Destroying the dialog cancels a running
// extraction and joins the worker (the extraction looks at the cancel
// request before every frame, so that takes milliseconds).
class CVideoClipExtractDlg : public QDialog {
  Q_OBJECT
 public:
  // Object names of the controls are the template's control ids.
  static constexpr int kDestination = 1024, kBrowse = 1025, kSetStart = 1034, kSetEnd = 3, kStartField = 1027,
                       kEndField = 1028, kCurrentField = 1029, kExtract = 1, kProgress = 1026;
  static constexpr std::array<int, 4> kCameraBoxes{1033, 1031, 1030, 1032};

  // `fourChannel`: the recording is a four-channel one. The trigger names and the
  // DVR title go into every output's settings block.
  CVideoClipExtractDlg(std::vector<clip::ClipSourceFile> files, int64_t currentPosition, bool fourChannel,
                       std::vector<std::string> triggerNames, std::string dvrTitle,
                       QWidget* parent = nullptr);
  ~CVideoClipExtractDlg() override;

  void SetCurrentPosition(int64_t centis);
  // False once the window was closed (by its close box, or when an
  // extraction ended): the owner then destroys it.
  bool IsOpen() const { return open_; }
  bool IsRunning() const { return running_; }
  int64_t StartPosition() const { return start_; }
  int64_t EndPosition() const { return end_; }

  // The control with the template id `id`.
  QWidget* Control(int id) const;

  void UpdateExtractButton();

  // Called on the worker after each progress report of a run (the first
  // comes once the first frames are written), with the run's cancel
  // request: a test holds the worker there to act in the middle of a run.
  using ProgressHook = std::function<void(const std::atomic<bool>& cancel)>;
  void SetProgressHook(ProgressHook hook) { progressHook_ = std::move(hook); }

 signals:
  // An extraction ended; the outcome has been shown.
  void ExtractionEnded(int status);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  struct Shared;

  void Browse();
  void SetStart();
  void SetEnd();
  void OnExtractButton();
  void StartExtraction();
  void CancelExtraction();
  void OnTimer();
  void OnWorkerDone(const clip::ExtractOutcome& outcome);
  void Finish();

  const std::vector<clip::ClipSourceFile> files_;
  const std::vector<std::string> triggerNames_;
  const std::string dvrTitle_;
  int64_t current_ = 0;
  int64_t start_ = -1;
  int64_t end_ = -1;
  bool open_ = true;
  bool running_ = false;

  QLineEdit* destination_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* setStart_ = nullptr;
  QPushButton* setEnd_ = nullptr;
  QLineEdit* startField_ = nullptr;
  QLineEdit* endField_ = nullptr;
  QLineEdit* currentField_ = nullptr;
  std::array<QCheckBox*, 4> cameras_{};
  QPushButton* extract_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTimer timer_;

  ProgressHook progressHook_;
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
};
