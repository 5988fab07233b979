// The main window's commands: transport, skip and fast scan, close, views,
// audio routing, display modes, snapshot and the small toggles.
#include <QAction>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>

#include "avi/output_guard.h"
#include "base/settings.h"
#include "base/titles.h"
#include "base/version.h"
#include "engine/pipeline/playback_engine.h"
#include "ui/audio_control_dialog.h"
#include "ui/clip_extract_dialog.h"
#include "ui/clip_extraction_controller.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/core/menu_state.h"
#include "ui/core/timeline_commands.h"
#include "ui/core/window_controls.h"
#include "ui/core/window_messages.h"
#include "ui/file_properties_dialog.h"
#include "ui/live_controller.h"
#include "ui/map_controller.h"
#include "ui/message_box.h"
#include "ui/picture_controller.h"
#include "ui/player_window.h"
#include "ui/save_file_chooser.h"
#include "ui/timeline_controller.h"
#include "ui/video_pane.h"

namespace {

// Where a forward scan stops, before the end: the last frames stay on screen
// (the timer's end-of-recording Stop is not reached).
constexpr int64_t kScanEndMarginCentis = 50;

std::optional<VideoView> ViewOfButton(int id) {
  for (int k = 0; k < 4; ++k)
    if (id == kViewButtons[k]) return VideoView::Camera(k);
  if (id == kQuadButton) return VideoView::Quad();
  return std::nullopt;
}

}  // namespace

void CQMXPlayerDlg::RunCommand(int id) {
  if (timeline_->Run(id)) return;
  for (int k = 0; k < 4; ++k) {
    if (id == kCmdVideo[k]) return SelectView(VideoView::Camera(k));
    if (id == kCmdStream[k]) return StreamCommand(k);
  }
  if (const std::optional<VideoView> view = ViewOfButton(id)) {
    // A click flipped the button; the view command sets every check itself.
    return SelectView(*view);
  }
  switch (id) {
    case kCmdOpenFile:
    case kOpenButton:
      OpenRecording({});
      SetButtonChecked(kOpenButton, false);
      return;
    case kCmdOpenStream:
    case kOpenStreamButton:
      return OpenStreamCommand();
    case kCmdClose:
      return CloseRecording();
    case kCmdExit:
      close();
      return;
    case kCmdPlay:
    case kPlayButton:
      return Play();
    case kCmdPause:
    case kPauseButton:
      return Pause();
    case kCmdStop:
    case kStopButton:
      return Stop();
    case kCmdFrameBackward:
      return Skip(-1);
    case kCmdFrameForward:
      return Skip(1);
    case kSkipBackButton:
    case kSkipBackActiveButton:
      Skip(-1);
      SetButtonChecked(kSkipBackButton, false);
      SetButtonChecked(kSkipBackActiveButton, false);
      return UpdateMenuState();
    case kSkipForwardButton:
    case kSkipForwardActiveButton:
      Skip(1);
      SetButtonChecked(kSkipForwardButton, false);
      SetButtonChecked(kSkipForwardActiveButton, false);
      return UpdateMenuState();
    case kCmdAllVideos:
      return SelectView(VideoView::Quad());
    case kCmdMetadataHide:
      return SetDisplayMode(MetadataDisplay::kHide);
    case kCmdMetadataOverlay:
      return SetDisplayMode(MetadataDisplay::kOverlay);
    case kCmdMetadataBanner:
      return SetDisplayMode(MetadataDisplay::kBanner);
    case kCmdMetadataBoth:
      return SetDisplayMode(MetadataDisplay::kBoth);
    case kCmdVideoSize1To1:
      return VideoSizeOneToOne();
    case kCmdHighSpeedDeinterlace:
      return ToggleDeinterlace();
    case kCmdTakeSnapshot:
    case kSnapshotButton:
      return TakeSnapshot();
    case kCmdHideInterface:
      return ToggleHideInterface();
    case kCmdMute:
      return ToggleMute();
    case kCmdFullScreen:
      return SetFullScreen(!fullScreen_);
    case kCmdProperties:
      return ShowProperties();
    case kCmdConfigureAudio:
      return ConfigureAudio();
    case kCmdConvert:
      return ShowConversion();
    case kCmdAbout:
    case kCmdSystemAbout:
      return ShowAbout();
    // The clip extraction window comes with its own area; until then its
    // command only keeps the button in step.
    case kCmdExtractClip:
    case kClipButton:
      return clip_->Toggle();
    case kCmdMapLocation:
    case kMapButton:
      map_->Toggle();
      return UpdateMenuState();
    case kCmdProxySettings:
      return map_->ShowProxySettings();
    default:
      return;
  }
}

void CQMXPlayerDlg::Play() {
  if (playback_) {
    playback_->Play();
    const std::optional<VideoView> v = CheckedView(ViewButtonsChecked(), IsChecked(kQuadButton));
    if (v) playback_->SetView(*v);
  }
  SetButtonChecked(kPlayButton, true);
  SetButtonChecked(kPauseButton, false);
  SetButtonChecked(kStopButton, false);
  scanSpeed_ = 0;
  statusText_ = kStatusPlaying;
  SetButtonEnabled(kSnapshotButton, false);
  UpdateMenuState();
}

void CQMXPlayerDlg::Pause() {
  if (playback_) {
    playback_->Pause();
    SetButtonEnabled(kSnapshotButton, !IsChecked(kQuadButton));
  }
  SetButtonChecked(kPauseButton, true);
  SetButtonChecked(kPlayButton, false);
  SetButtonChecked(kStopButton, false);
  scanSpeed_ = 0;
  statusText_ = kStatusPaused;
  UpdateMenuState();
}

void CQMXPlayerDlg::Stop() {
  if (statusText_ == kStatusStopped) {
    SetButtonChecked(kStopButton, true);
    return;
  }
  if (playback_) playback_->Stop();
  SetButtonEnabled(kSnapshotButton, playback_ != nullptr);
  SetButtonChecked(kStopButton, true);
  SetButtonChecked(kPlayButton, false);
  SetButtonChecked(kPauseButton, false);
  scanSpeed_ = 0;
  statusText_ = kStatusStopped;
  canvas_->update();
  for (int id : {kSkipBackButton, kSkipForwardButton, kSkipBackActiveButton, kSkipForwardActiveButton})
    SetButtonEnabled(id, true);
  UpdateMenuState();
}

void CQMXPlayerDlg::Skip(int direction) {
  if (!playback_) return;
  // Silence while stepping or scanning; the timer restores the stored volumes.
  for (int c = 0; c < 4; ++c) playback_->SetAudioVolume(c, 0);
  scanMuted_ = true;
  if (IsChecked(kPauseButton)) playback_->StepFrame(direction, true);
  if (playback_->IsPlaying()) scanSpeed_ = SkipScanSpeed(scanSpeed_, direction, true);
}

void CQMXPlayerDlg::ScanStep() {
  scanSpeed_ = NormalizedScanSpeed(scanSpeed_);
  const int step = ScanStepCentis(scanSpeed_);
  if (!playback_ || step == 0) return;
  const int64_t p = playback_->GetPositionCentis();
  const int64_t total = playback_->GetTotal();
  // A scan ends at the ends of the recording: forward it pauses on the last
  // frames, backward it plays on from the start.
  const int64_t lastFrame = std::max<int64_t>(0, total - kScanEndMarginCentis);
  if (step > 0 && p + step >= lastFrame) {
    scanSpeed_ = 0;
    playback_->Seek(-1, lastFrame);
    Pause();
    return;
  }
  playback_->Pause();
  if (step < 0 && p + step <= 0) {
    scanSpeed_ = 0;
    playback_->Seek(0, 0);
    playback_->Play();
    return;
  }
  playback_->Seek(-1, p + step);
  playback_->Play();
}

void CQMXPlayerDlg::CloseRecording() {
  live_->Close();
  if (playback_) RetireEngine(std::move(playback_));
  hasPlayback_ = false;
  banner_.ClearLines();
  statusText_ = kStatusNoVideo;
  for (int k = 1; k < 4; ++k) panes_[k]->hide();
  panes_[0]->show();
  for (VideoPane* p : panes_) p->ClearFrame();
  for (int k = 0; k < 4; ++k) SetButtonChecked(kViewButtons[k], k == 0);
  SetButtonChecked(kQuadButton, false);
  for (int id :
       {kPlayButton, kClipButton, kMapButton, kPauseButton, kStopButton, kViewButtons[0], kViewButtons[1],
        kViewButtons[2], kViewButtons[3], kQuadButton, kSkipBackButton, kSkipForwardButton, kSnapshotButton})
    SetButtonEnabled(id, false);
  canvas_->update();
  UpdateMenuState();
  SetTitle(MainWindowTitle(brand_));
}

void CQMXPlayerDlg::SelectView(VideoView view) {
  repaintVideoArea_ = true;
  soloFromQuad_ = false;
  const bool quad = view.IsQuad();
  const bool stacked = playback_ && dvrKind_ == DvrLayout::kTwoChannelStacked;
  metadataChannel_ = quad ? 1 : view.Camera() + 1;
  for (int k = 0; k < 4; ++k) SetButtonChecked(kViewButtons[k], k == view.Camera());
  SetButtonChecked(kQuadButton, quad);
  for (int k = 0; k < 4; ++k) {
    bool shown;
    if (quad)
      shown = k == 0 || !stacked;
    else if (stacked && view == VideoView::Camera(1))
      shown = k == 0;  // both cameras of a stacked recording come through the first pane
    else
      shown = k == view.Camera();
    panes_[k]->setVisible(shown);
  }
  LayoutVideoArea();
  if (playback_) {
    playback_->SetView(view);
    ArrangePanes();
    // A paused picture is drawn again in the pane that now shows it.
    if (IsChecked(kPauseButton)) {
      if (!quad) SetButtonEnabled(kSnapshotButton, true);
      playback_->Seek(playback_->GetPosition(), -1);
    }
  }
  if (Live()) {
    Live()->SetView(view);
    Live()->ArrangeVideo(quad);
  }
  if (quad) SetButtonEnabled(kSnapshotButton, false);
  SyncVolumeControls();
  canvas_->update();
  UpdateMenuState();
}

std::array<bool, 4> CQMXPlayerDlg::ViewButtonsChecked() const {
  std::array<bool, 4> checked{};
  for (int k = 0; k < 4; ++k) checked[k] = IsChecked(kViewButtons[k]);
  return checked;
}

VideoView CQMXPlayerDlg::CurrentView() const {
  return StreamCommandView(ViewButtonsChecked(), IsChecked(kQuadButton));
}

void CQMXPlayerDlg::StreamCommand(int channel) {
  if (!playback_ && !Live()) return;
  const VideoView v = CurrentView();
  const bool on = playback_ ? !playback_->GetAudioRoute(v, channel) : !Live()->GetAudioRoute(v, channel);
  if (playback_) playback_->SetAudioRoute(v, channel, on);
  if (Live()) Live()->SetAudioRoute(v, channel, on);
  WriteSetting(RouteSettingName(v, channel), on ? "yes" : "no");
  UpdateMenuState();
}

void CQMXPlayerDlg::ConfigureAudio() {
  if (!playback_ && !Live()) return;
  CAudioControlDlg dialog(this);
  if (dialog.exec() == QDialog::Accepted) ApplyAudioSettings();
  UpdateMenuState();
}

void CQMXPlayerDlg::ApplyAudioSettings() {
  if (Live()) ApplyAudioRouting(LoadAudioRouting(), *Live());
  if (playback_) ApplyAudioRouting(LoadAudioRouting(), *playback_);
  if (muted_) ApplyVolumes();
  SyncVolumeControls();
}

void CQMXPlayerDlg::SetDisplayMode(MetadataDisplay mode) {
  const DisplayFlags f = FlagsForDisplay(mode);
  overlayOn_ = f.overlayOn;
  bannerOn_ = f.bannerOn;
  displayMode_ = mode;
  UpdateMenuState();
  if (playback_) playback_->SetOverlayText(overlayOn_);
  ApplyShownSizes();
  if (Live()) Live()->SetOverlayText(overlayOn_);
  canvas_->update();
}

void CQMXPlayerDlg::ToggleDeinterlace() {
  const std::string value = ToggledFastDeinterlace(ReadSetting("FastDeinterlace"));
  if (playback_) playback_->SetDeinterlace(value == "On");
  if (Live()) Live()->SetDeinterlace(value == "On");
  WriteSetting("FastDeinterlace", value);
  UpdateMenuState();
}

void CQMXPlayerDlg::TakeSnapshot() {
  SetButtonChecked(kSnapshotButton, false);
  int channel = -1;
  for (int k = 0; k < 4 && channel < 0; ++k)
    if (IsChecked(kViewButtons[k])) channel = k;
  if (channel < 0) return;
  // The view's pane holds the camera's frame: both cameras of a stacked
  // recording are halves of the first channel's.
  picture_->SaveSnapshot(paneChannel_[size_t(channel)], nullptr);
}

void CQMXPlayerDlg::ToggleHideInterface() {
  interfaceHidden_ = !interfaceHidden_;
  ApplySize(clientWidth_, clientHeight_);
  UpdateMenuState();
}

void CQMXPlayerDlg::VideoSizeOneToOne() {
  if (!playback_) return;
  SetFullScreen(false);
  if (isMaximized()) showNormal();
  // The shown camera's own pixels (each quad cell one camera's), with the
  // menu bar, the banners, the timeline and the bar around them.
  const VideoPane* shown = nullptr;
  for (VideoPane* p : panes_)
    if (p->isVisibleTo(canvas_)) {
      shown = p;
      break;
    }
  // A four-camera frame may be shown reduced: the recording's size is its own.
  QSize picture = shown && !shown->Frame().isNull() && IsTwoChannel(dvrKind_) ? shown->SourceSize() : QSize();
  if (picture.isEmpty()) {
    int w = 0, h = 0;
    bool known = false;
    playback_->VideoSize(w, h, known);
    picture = QSize(w, h);
  }
  if (IsChecked(kQuadButton) && dvrKind_ != DvrLayout::kTwoChannelStacked) picture *= 2;
  const WindowSize client =
      ExactVideoClientSize(captured_, picture.width(), picture.height(), TimelineHeight(), extraHeight_);
  // What the window has around its client area (the menu bar).
  const QSize around = size() - canvas_->size();
  resize(std::max(client.width, captured_.initialWidth) + around.width(),
         std::max(client.height, captured_.initialHeight) + around.height());
}

bool CQMXPlayerDlg::ConfirmQuit() {
  if (!clip_->Running()) return true;
  QMessageBox ask(QMessageBox::Question, QString::fromUtf8(kMessageCaption),
                  QStringLiteral("A video clip is being extracted. Quit and stop the extraction?"),
                  QMessageBox::Yes | QMessageBox::No, this);
  ask.setObjectName(QStringLiteral("confirmQuit"));
  ask.setDefaultButton(QMessageBox::No);
  return ask.exec() == QMessageBox::Yes;
}

void CQMXPlayerDlg::ShowProperties() {
  CFileProperties dialog(playback_ ? playback_->Properties() : RecordingProperties{}, this);
  dialog.exec();
}

void CQMXPlayerDlg::ShowAbout() {
  std::string text = MainWindowTitle(brand_) + "\nVersion " + PlayerVersion() +
                     "\nA player for multi-camera in-vehicle DVR recordings.\n\nShortcuts:\n";
  text +=
      "  Space\tPlay / Pause\n  Escape\tLeave full screen\n  Double-click\tOne camera of the quad / back\n";
  std::vector<CommandInfo> commands = MenuCommands();
  commands.insert(commands.end(), TimelineCommands().begin(), TimelineCommands().end());
  for (const CommandInfo& c : commands) {
    if (!c.shortcut || !*c.shortcut) continue;
    QString caption = QString::fromUtf8(c.caption).remove('&');
    text += "  " + std::string(c.shortcut) + "\t" + caption.toStdString() + "\n";
  }
  text += PictureController::ShortcutLines();
  // The commands of the window's feature controllers (speed, frames, go to).
  for (const QAction* a : actions()) {
    const QString key = a->shortcut().toString(QKeySequence::NativeText);
    if (key.isEmpty() || text.find("  " + key.toStdString() + "\t") != std::string::npos) continue;
    text += "  " + key.toStdString() + "\t" + QString(a->text()).remove('&').toStdString() + "\n";
  }
  ShowPlayerMessage(this, AboutBoxTitle(brand_), text);
}

void CQMXPlayerDlg::UpdateMenuState() {
  PlayerMenuInput in;
  in.fastDeinterlaceSetting = ReadSetting("FastDeinterlace");
  in.hasPlayback = playback_ != nullptr;
  in.hasRecordingInfo = playback_ != nullptr;
  in.interfaceHidden = interfaceHidden_;
  in.mapOpen = map_->IsOpen();
  in.pauseChecked = IsChecked(kPauseButton);
  in.quadChecked = IsChecked(kQuadButton);
  for (int k = 0; k < 4; ++k) in.viewChecked[k] = IsChecked(kViewButtons[k]);
  in.dvrKind = dvrKind_;
  in.channelPresent = ChannelsPresent();
  in.quadEnabled = Button(kQuadButton)->isEnabled();
  in.hasLiveSession = Live() != nullptr;
  if (playback_ || Live()) {
    const VideoView v = CurrentView();
    for (int c = 0; c < 4; ++c)
      in.streamHeard[c] = playback_ ? playback_->GetAudioRoute(v, c) : Live()->GetAudioRoute(v, c);
  }
  for (const auto& [id, state] : ::UpdateMenuState(in)) {
    QAction* a = Action(id);
    if (!a) continue;
    a->setEnabled(state.enabled);
    if (state.checked) {
      a->setCheckable(true);
      a->setChecked(*state.checked);
    }
  }
  const std::pair<int, MetadataDisplay> modes[] = {{kCmdMetadataHide, MetadataDisplay::kHide},
                                                   {kCmdMetadataOverlay, MetadataDisplay::kOverlay},
                                                   {kCmdMetadataBanner, MetadataDisplay::kBanner},
                                                   {kCmdMetadataBoth, MetadataDisplay::kBoth}};
  for (const auto& [id, mode] : modes)
    if (QAction* a = Action(id)) a->setChecked(mode == displayMode_);
  if (QAction* a = Action(kCmdFullScreen)) {
    a->setCheckable(true);
    a->setChecked(fullScreen_);
  }
  UpdateTimelineMenu();
  emit MenuStateUpdated();
}
