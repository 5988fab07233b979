// Live viewing in the main window: Open Stream and what the window shows of a
// stream.
#include <QPushButton>

#include "base/titles.h"
#include "engine/pipeline/playback_engine.h"
#include "live/live_session.h"
#include "metadata/trigger_names.h"
#include "ui/core/window_controls.h"
#include "ui/core/window_messages.h"
#include "ui/live_controller.h"
#include "ui/map_controller.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/stream_selection_dialog.h"
#include "ui/video_pane.h"

void CQMXPlayerDlg::OpenStreamCommand() {
  scanSpeed_ = 0;
  SetButtonChecked(kOpenStreamButton, false);
  CStreamingSelectionDlg dialog(this);
  if (dialog.exec() != QDialog::Accepted) return;
  OpenStream(dialog.Address());
}

void CQMXPlayerDlg::OpenStream(const std::string& address) {
  scanSpeed_ = 0;
  ResetTriggerNamesToLive();
  live_->Close();
  if (playback_) RetireEngine(std::move(playback_));
  hasPlayback_ = false;
  banner_.ClearLines();
  if (address.empty()) {
    CloseRecording();
    return;
  }
  LiveSessionConfig config;
  config.address = address;
  config.audioSink = engineConfig_.audioSink;
  config.frames = &relay_;
  config.metadataListener = this;
  live_->Open(config);
  Live()->SetOverlayText(overlayOn_);
  statusText_ = kStatusConnecting;
  // The stream is no file: the window and its map leave the recording shown before.
  currentPath_.clear();
  banner_.ForgetPosition();
  SetTitle(StreamWindowTitle(brand_, address));
  map_->Renew();
  ApplyAudioSettings();

  // A recording's stacked layout or crop must not carry over to the panes.
  dvrKind_ = DvrLayout::kFourChannel;
  paneChannel_ = {0, 1, 2, 3};
  for (ChannelFacts& c : channels_) c.statedAspect = 0;
  for (VideoPane* p : panes_) {
    p->SetCrop({});
    p->SetStatedAspect(0);
    p->SetPictureSize({});  // a stream's frames are never reduced
    p->ClearFrame();
  }
  LayoutVideoArea();
  UpdateMenuState();
  for (int id : {kViewButtons[0], kViewButtons[1], kViewButtons[2], kViewButtons[3], kQuadButton, kMapButton})
    SetButtonEnabled(id, true);
  for (int id : {kClipButton, kPlayButton, kPauseButton, kStopButton, kSkipBackButton, kSkipForwardButton,
                 kSkipBackActiveButton, kSkipForwardActiveButton, kSnapshotButton})
    SetButtonEnabled(id, false);
  SelectView(VideoView::Camera(0));
  repaintVideoArea_ = true;
  canvas_->update();
}
