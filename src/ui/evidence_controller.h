#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <string>

class EvidenceWorker;
class PlaybackEngine;
class QAction;
class QMainWindow;

// The window's evidence exports: Export Track... in the File menu (before its
// last entry) and Export Evidence Package... right after Extract Video Clip.
// Both run on a worker thread of their own, one at a time, so the window keeps
// answering while a long trip is read; the one-line result is shown over the
// window.
class EvidenceController : public QObject {
  Q_OBJECT
 public:
  // What the exports read: the engine playing (null when none), the first
  // file of the open recording ("" for none or a live stream), its cameras.
  struct Source {
    PlaybackEngine* engine = nullptr;
    std::string recording;
    std::array<bool, 4> cameras{};
  };
  using SourceOf = std::function<Source()>;
  // `clipAction` is Extract Video Clip, which the package command follows.
  EvidenceController(QMainWindow& window, QAction* clipAction, SourceOf source);
  // Asks a running export to stop and waits for it.
  ~EvidenceController() override;

  // Enabled exactly while a recording is open.
  void UpdateCommands();
  void ExportTrack();
  void ExportPackage();
  // The one worker the window's exports share (the incident report runs on it too).
  EvidenceWorker& Worker() { return *worker_; }

 private:
  QMainWindow& window_;
  SourceOf source_;
  std::unique_ptr<EvidenceWorker> worker_;
  QAction* track_ = nullptr;
  QAction* package_ = nullptr;
};
