// The main window's volume and mute controls: the volume of the channels
// heard in the current view, and silence for all of them.
#include <QAction>
#include <QPushButton>
#include <QSlider>
#include <QStyle>

#include "engine/pipeline/playback_engine.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/player_window.h"

namespace {

constexpr int kMuteWidth = 28;
constexpr int kVolumeWidth = 90;
constexpr int kVolumeGap = 8;

}  // namespace

void CQMXPlayerDlg::BuildVolumeControls() {
  mute_ = new QPushButton(canvas_);
  mute_->setObjectName(QStringLiteral("muteButton"));
  mute_->setCheckable(true);
  mute_->setFocusPolicy(Qt::NoFocus);
  mute_->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
  mute_->setToolTip(QStringLiteral("Mute the sound (M)"));
  connect(mute_, &QPushButton::clicked, this, [this] { ToggleMute(); });

  volume_ = new QSlider(Qt::Horizontal, canvas_);
  volume_->setObjectName(QStringLiteral("volumeSlider"));
  volume_->setRange(0, 100);
  volume_->setPageStep(10);
  volume_->setFocusPolicy(Qt::NoFocus);
  volume_->setToolTip(QStringLiteral("Volume of the sound heard in this view"));
  connect(volume_, &QSlider::valueChanged, this, [this](int v) { SetViewVolume(v); });
  SyncVolumeControls();
}

void CQMXPlayerDlg::PlaceVolumeControls(bool barHidden) {
  // In the room between the snapshot button and the clip button, when there is some.
  const QPushButton* left = Button(kSnapshotButton);
  const QPushButton* right = Button(kClipButton);
  const int room = right->x() - (left->x() + left->width()) - 2 * kVolumeGap;
  const bool fits = !barHidden && room >= kMuteWidth + kVolumeGap + 40;
  mute_->setVisible(fits);
  volume_->setVisible(fits);
  if (!fits) return;
  const int width = std::min(kVolumeWidth, room - kMuteWidth - kVolumeGap);
  const int x = right->x() - kVolumeGap - width;
  volume_->setGeometry(x, right->y(), width, right->height());
  mute_->setGeometry(x - kVolumeGap - kMuteWidth, right->y(), kMuteWidth, right->height());
}

void CQMXPlayerDlg::SetViewVolume(int percent) {
  AudioRouting r = LoadAudioRouting();
  const std::array<bool, 4>& heard = r.hear[CurrentView().Number()];
  bool changed = false;
  for (int c = 0; c < 4; ++c)
    if (heard[c] && r.volume[c] != percent) {
      r.volume[c] = percent;
      changed = true;
    }
  if (!changed) return;
  SaveAudioRouting(r);
  ApplyVolumes();
}

void CQMXPlayerDlg::ToggleMute() {
  muted_ = !muted_;
  ApplyVolumes();
  SyncVolumeControls();
}

void CQMXPlayerDlg::ApplyVolumes() {
  const AudioRouting r = LoadAudioRouting();
  for (int c = 0; c < 4; ++c) {
    const int percent = muted_ ? 0 : r.volume[c];
    if (playback_ && !scanMuted_) playback_->SetAudioVolume(c, percent);
    if (Live()) Live()->SetAudioVolume(c, percent);
  }
}

void CQMXPlayerDlg::SyncVolumeControls() {
  // The slider shows the first channel heard in the view.
  const AudioRouting r = LoadAudioRouting();
  const std::array<bool, 4>& heard = r.hear[CurrentView().Number()];
  int shown = -1;
  for (int c = 0; c < 4 && shown < 0; ++c)
    if (heard[c]) shown = r.volume[c];
  const QSignalBlocker quiet(volume_);
  volume_->setEnabled(shown >= 0 && (playback_ || Live()));
  volume_->setValue(std::max(0, shown));
  mute_->setChecked(muted_);
  mute_->setIcon(style()->standardIcon(muted_ ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
  if (QAction* a = Action(kCmdMute)) {
    a->setCheckable(true);
    a->setChecked(muted_);
  }
}
