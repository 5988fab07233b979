// Opening recordings (the dialog, dropped files, the command line) off the
// window thread, and what arrives from the engine's threads.
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <algorithm>

#include "avi/read_only_file.h"
#include "base/settings.h"
#include "base/titles.h"
#include "engine/camera_streams.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "ui/core/menu_state.h"
#include "ui/core/recent_files.h"
#include "ui/core/window_controls.h"
#include "ui/core/window_messages.h"
#include "ui/live_controller.h"
#include "ui/map_controller.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/please_wait_dialog.h"
#include "ui/timeline_controller.h"

// What the open thread hands back to the window.
struct CQMXPlayerDlg::OpenOutcome {
  OpenPlan plan;
  int result = kGraphOk;
  bool h264 = false;
  std::array<ChannelFacts, 4> channels{};
  DvrLayout dvrKind = DvrLayout::kFourChannel;
  std::string dvrTitle;
  std::string cause;  // why it failed, for the message's detail
};

namespace {

// Why `path` gave the engine nothing to play: it can't be opened, or it (and
// its sequence) are too short to be recordings.
std::string NothingToPlayCause(const std::string& path) {
  avi::ReadOnlyFile file;
  std::string error;
  if (!file.Open(path, &error)) return path + ": " + error;
  return path + ": " + std::to_string(file.Size()) + " bytes, too short to be a recording";
}

}  // namespace

void CQMXPlayerDlg::OpenRecording(const std::string& givenPath, OpenMode mode) {
  scanSpeed_ = 0;
  if (openThread_.joinable()) return;  // one open at a time
  std::string path = givenPath;
  if (path.empty()) {
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList filters;
    for (const char* f : kOpenFilters) filters << QString::fromUtf8(f);
    dialog.setNameFilters(filters);
    dialog.setDirectory(QString::fromStdString(DialogStartFolder(currentPath_)));
    dialog.selectFile(QString::fromUtf8(kOpenDefaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      SetButtonChecked(kOpenButton, false);
      UpdateMenuState();
      return;
    }
    path = dialog.selectedFiles().front().toStdString();
    mode = OpenMode(filters.indexOf(dialog.selectedNameFilter()) + 1);
    if (int(mode) < 1) mode = OpenMode::kSequences;
    // A drop or a queued open may have started one while the dialog ran.
    if (openThread_.joinable()) return;
  }

  if (!pleaseWait_) pleaseWait_ = new PleaseWaitDialog(this);
  pleaseWait_->show();
  currentPath_ = path;
  drag_.held = true;
  if (playback_) {
    playback_->Stop();
    CloseRecording();
  }
  live_->Close();  // a recording and a live stream are never open together

  // The engine reports to this window; it is built here and opened there.
  opening_ = MakeEngine();
  PlaybackEngine* engine = opening_.get();
  const std::string brand = brand_;
  openThread_ = std::thread([this, engine, path, mode, brand] {
    auto outcome = std::make_shared<OpenOutcome>();
    DiskFileProbe probe;
    outcome->plan = PlanOpen(path, mode, brand, probe);
    const std::vector<std::string>& files = outcome->plan.files;
    if (files.empty()) outcome->cause = NothingToPlayCause(path);
    if (!outcome->plan.emptySingleFile) {
      outcome->result = engine->OpenSequence(files);
      outcome->h264 = engine->H264Mode() == VideoCoding::kH264;
      if (outcome->result != kGraphOk && !files.empty()) {
        const std::string cause = engine->OpenFailureCause();
        if (!cause.empty()) outcome->cause = files.front() + ": " + cause;
      }
      if (outcome->result == kGraphOk) {
        const ChannelResults shown = engine->Channels();
        for (int c = 0; c < 4; ++c) outcome->channels[c].present = shown[c].video;
        outcome->dvrKind = engine->DvrKind();
        outcome->dvrTitle = engine->Properties().dvrTitle;
        const std::vector<SequenceFile> files = engine->Files();
        if (!files.empty())
          for (int c = 0; c < 4; ++c)
            outcome->channels[c].size = {files[0].channels[c].width, files[0].channels[c].height};
        // A stacked frame's header states the aspect of both cameras together.
        if (!files.empty() && outcome->dvrKind == DvrLayout::kFourChannel) {
          const std::array<double, 4> stated = StatedCameraAspects(files[0].path);
          for (int c = 0; c < 4; ++c) outcome->channels[c].statedAspect = stated[c];
        }
      }
    }
    QMetaObject::invokeMethod(
        this, [this, outcome] { FinishOpen(outcome); }, Qt::QueuedConnection);
  });
}

void CQMXPlayerDlg::FinishOpen(std::shared_ptr<OpenOutcome> outcome) {
  openThread_.join();
  const OpenPlan& plan = outcome->plan;
  reportedErrors_.clear();
  if (plan.emptySingleFile) {
    RetireEngine(std::move(opening_));
    currentPath_.clear();
    pleaseWait_->hide();
    emit OpenFailed(kGraphFileUnusable);
    ShowPlayerFailure(this, kEmptyFileMessage, outcome->cause);
    drag_.held = false;
    emit OpenFinished(kGraphFileUnusable);
    return;
  }
  // A recording that did not open leaves the title as it was.
  if (!plan.title.empty() && outcome->result == kGraphOk) SetTitle(plan.title);
  displayName_ = plan.displayName;
  metadataChannel_ = 1;

  if (outcome->result != kGraphOk) {
    RetireEngine(std::move(opening_));
    pleaseWait_->hide();
    banner_.ClearLines();
    // Nothing is open: the title and the status line name no file.
    SetTitle(MainWindowTitle(brand_));
    displayName_.clear();
    currentPath_.clear();
    emit OpenFailed(outcome->result);
    ShowPlayerFailure(this, GraphResultMessage(outcome->result, outcome->h264, plan.files.empty()),
                      outcome->cause);
  } else {
    playback_ = std::move(opening_);
    channels_ = outcome->channels;
    dvrKind_ = outcome->dvrKind;
    filterDvrKind_ = dvrKind_;
    {
      std::lock_guard<std::mutex> l(titleLock_);
      bannerTitle_ = outcome->dvrTitle;
    }
    hasPlayback_ = true;

    for (int id : {kClipButton, kMapButton, kPlayButton, kPauseButton, kStopButton})
      SetButtonEnabled(id, true);
    int present = 0;
    for (const ChannelFacts& c : channels_) present += c.present;
    for (int k = 0; k < 4; ++k)
      SetButtonEnabled(kViewButtons[k],
                       dvrKind_ == DvrLayout::kTwoChannelStacked ? k < 2 : channels_[k].present);
    SetButtonEnabled(kQuadButton, dvrKind_ == DvrLayout::kTwoChannelStacked || present >= 2);
    for (int id : {kSkipBackButton, kSkipForwardButton, kSkipBackActiveButton, kSkipForwardActiveButton})
      SetButtonEnabled(id, true);
    SetButtonChecked(kPlayButton, true);
    SetButtonChecked(kPauseButton, false);
    SetButtonChecked(kStopButton, false);
    slider_->setValue(0);
    statusText_ = kStatusPlaying;
    for (int k = 0; k < 4; ++k)
      if (channels_[k].present) {
        SelectView(VideoView::Camera(k));
        break;
      }
    playback_->SetOverlayText(overlayOn_);
    playback_->SetDeinterlace(FastDeinterlaceOn(ReadSetting("FastDeinterlace")));
    repaintVideoArea_ = true;
    pleaseWait_->hide();
    timeline_->StartScan();
    ApplySize(clientWidth_, clientHeight_);
    map_->Renew();  // an open map follows the new recording, with its own track and cache file
  }
  drag_.held = false;
  canvas_->update();
  ApplyAudioSettings();
  SetButtonChecked(kOpenButton, false);
  UpdateMenuState();
  if (outcome->result == kGraphOk) NoteOpenedRecording(currentPath_);
  emit OpenFinished(outcome->result);
}

std::unique_ptr<PlaybackEngine> CQMXPlayerDlg::MakeEngine() {
  EngineLinks links;
  links.frames = relay_.OpenFeed();
  links.news = std::make_shared<EngineForwarder>(
      *this, *this,
      [this, ticket = banner_.OpenTicket()](const char* source, const char* label, const char* text) {
        ShowMetadata(ticket, source, label, text);
      });
  auto engine =
      std::make_unique<PlaybackEngine>(links.frames.get(), links.news.get(), links.news.get(), engineConfig_);
  links_[engine.get()] = std::move(links);
  return engine;
}

std::shared_ptr<EngineForwarder> CQMXPlayerDlg::EngineListener() const {
  auto it = links_.find(playback_.get());
  return it == links_.end() ? nullptr : it->second.news;
}

int CQMXPlayerDlg::EnginesClosing() const {
  return int(std::count_if(retired_.begin(), retired_.end(), [](const Retiree& r) { return !*r.done; }));
}

void CQMXPlayerDlg::RetireEngine(std::unique_ptr<PlaybackEngine> engine) {
  if (!engine) return;
  // Its pipelines go on delivering while they are torn down.
  relay_.RetireFeeds();
  banner_.RetireTickets();
  EngineLinks links;
  if (auto it = links_.find(engine.get()); it != links_.end()) {
    links = std::move(it->second);
    links_.erase(it);
  }
  if (links.news) links.news->Retire();
  // Threads of engines closed earlier that are done are joined now (at once).
  std::erase_if(retired_, [](Retiree& r) {
    if (!*r.done) return false;
    r.thread.join();
    return true;
  });
  // Shutting pipelines down waits for their threads: not on this thread.
  auto done = std::make_shared<std::atomic<bool>>(false);
  retired_.push_back({std::thread([e = std::move(engine), l = std::move(links), done]() mutable {
                        e.reset();
                        l = {};  // after the engine's last delivery
                        *done = true;
                      }),
                      done});
}

void CQMXPlayerDlg::OnMetadata(const char* sourceName, const char* label, const char* text) {
  ShowMetadata(BannerBoard::kAnyTicket, sourceName, label, text);
}

void CQMXPlayerDlg::ShowMetadata(uint64_t ticket, const char* sourceName, const char* label,
                                 const char* text) {
  if (!sourceName || !label || !text) return;
  BannerSourceFilter filter;
  filter.hasPlayback = hasPlayback_;
  filter.hasRecordingInfo = hasPlayback_;
  filter.dvrKind = filterDvrKind_;
  filter.metadataChannel = metadataChannel_;
  if (!AcceptBannerSource(sourceName, filter)) return;
  std::string title;
  {
    std::lock_guard<std::mutex> l(titleLock_);
    title = bannerTitle_;
  }
  // The kept position reaches the map window on the timer (MapController::Tick).
  (void)banner_.Receive(label, text, title, ticket);
}

void CQMXPlayerDlg::OnPlaybackError(int fileIndex, const std::string& message) {
  // Each failing file of a sequence is reported once per open.
  if (std::find(reportedErrors_.begin(), reportedErrors_.end(), fileIndex) != reportedErrors_.end()) return;
  reportedErrors_.push_back(fileIndex);
  ShowPlayerMessage(this, message);
}

void CQMXPlayerDlg::OnFileChanged(int) {
  // The files of a sequence may hold different cameras; the timer follows
  // the file being shown.
  if (playback_) {
    const ChannelResults shown = playback_->Channels();
    for (int c = 0; c < 4; ++c) channels_[std::size_t(c)].present = shown[std::size_t(c)].video;
  }
}

void CQMXPlayerDlg::OnEndOfRecording() {
  if (playback_ && IsChecked(kPlayButton)) Stop();
}

void CQMXPlayerDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CQMXPlayerDlg::dropEvent(QDropEvent* event) {
  if (OpenDropped(*event->mimeData())) event->acceptProposedAction();
}

bool CQMXPlayerDlg::OpenDropped(const QMimeData& data) {
  const QList<QUrl> urls = data.urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return false;
  const std::string path = urls.front().toLocalFile().toStdString();
  // Opened after the drop is over, so the source application is not held.
  QMetaObject::invokeMethod(
      this, [this, path] { OpenRecording(path); }, Qt::QueuedConnection);
  return true;
}

void CQMXPlayerDlg::closeEvent(QCloseEvent* event) {
  if (!ConfirmQuit()) {
    event->ignore();
    return;
  }
  SaveWindowPlacement();
  timer_.stop();
  if (pleaseWait_) pleaseWait_->hide();
  QMainWindow::closeEvent(event);
}

std::array<bool, 4> CQMXPlayerDlg::ChannelsPresent() const {
  std::array<bool, 4> present{};
  for (int c = 0; c < 4; ++c) present[c] = channels_[c].present;
  return present;
}
