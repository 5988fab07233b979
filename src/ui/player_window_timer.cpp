// The main window's 150 ms timer and the position slider.
#include <QGuiApplication>
#include <QPushButton>
#include <QSlider>

#include "engine/pipeline/playback_engine.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/window_controls.h"
#include "ui/player_window.h"

void CQMXPlayerDlg::OnTick() {
  // Live first: a failed session closes what the rest would look at.
  emit Ticked();
  if (!playback_) {
    slider_->setValue(0);
  } else if (!drag_.held) {
    const double position = playback_->GetPosition();
    slider_->setValue(int(position));
    // The engine stops by itself at the real end of the last file (it also
    // says so through OnEndOfRecording): the window then runs Stop.
    if (!playback_->IsPlaying() && IsChecked(kPlayButton) && !scanActive_) Stop();
    if (dvrKind_ == DvrLayout::kFourChannel) {
      int present = 0;
      for (int k = 0; k < 4; ++k) {
        SetButtonEnabled(kViewButtons[k], channels_[k].present);
        present += channels_[k].present;
      }
      SetButtonEnabled(kQuadButton, present >= 2);
    }
  }
  InvalidateStrips();
  if (pendingResize_ && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
    const auto [w, h] = *pendingResize_;
    pendingResize_.reset();
    ApplySize(w, h);
    return;
  }
  // Skip buttons behave as push buttons unless single-stepping while paused.
  if (!IsChecked(kPauseButton))
    for (int id : {kSkipForwardButton, kSkipBackButton, kSkipBackActiveButton, kSkipForwardActiveButton})
      SetButtonChecked(id, false);
  if (!playback_) return;
  if (scanSpeed_ != 0 && playback_->IsPlaying()) {
    if (!scanActive_) {
      const bool forward = scanSpeed_ > 0;
      SetButtonVisible(kSkipBackButton, forward);
      SetButtonVisible(kSkipForwardActiveButton, forward);
      SetButtonVisible(kSkipBackActiveButton, !forward);
      SetButtonVisible(kSkipForwardButton, !forward);
      SetButtonChecked(kPlayButton, false);
      scanActive_ = true;
    }
    if (ScanTickDue(scanTicks_)) ScanStep();
  } else if (scanMuted_) {
    scanMuted_ = false;
    ApplyVolumes();
  }
  if (scanSpeed_ == 0 && scanActive_) {
    SetButtonVisible(kSkipBackButton, true);
    SetButtonVisible(kSkipForwardButton, true);
    SetButtonVisible(kSkipBackActiveButton, false);
    SetButtonVisible(kSkipForwardActiveButton, false);
    if (playback_->IsPlaying()) SetButtonChecked(kPlayButton, true);
    scanActive_ = false;
  }
}

void CQMXPlayerDlg::OnSliderScroll(SliderEvent event, int thumb) {
  if (!playback_) return;
  const std::optional<int> seek = OnSliderEvent(drag_, event, thumb, playback_->GetPosition());
  if (seek) playback_->Seek(*seek, -1);
  // A page click has no end-of-drag notification here: it is over at once.
  if (event == SliderEvent::kPageLeft || event == SliderEvent::kPageRight) drag_.held = false;
  if (!drag_.held) slider_->setValue(int(playback_->GetPosition()));
}
