// The main window's geometry and painting: resizes, the video area, the
// status strip and the banner strips.
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QSlider>

#include "engine/pipeline/playback_engine.h"
#include "metadata/qt/glyph_font_rasterizer.h"
#include "metadata/windows1252.h"
#include "ui/core/window_controls.h"
#include "ui/frame_step_controller.h"
#include "ui/player_window.h"
#include "ui/speed_controller.h"
#include "ui/video_pane.h"

namespace {

QRect ToQRect(const PixelRect& r) {
  return QRect(r.left, r.top, r.width(), r.height());
}

bool LeftButtonDown() {
  return QGuiApplication::mouseButtons() & Qt::LeftButton;
}

// The banner and status texts are single-byte DVR texts (Windows-1252).
QString FromDvrText(const std::string& s) {
  return QString::fromStdString(Utf8FromWindows1252(s));
}

}  // namespace

bool CQMXPlayerDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == canvas_) {
    if (event->type() == QEvent::Resize) {
      const QSize s = static_cast<QResizeEvent*>(event)->size();
      OnCanvasResize(s.width(), s.height());
    } else if (event->type() == QEvent::Paint) {
      QPainter p(canvas_);
      PaintCanvas(p);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void CQMXPlayerDlg::OnCanvasResize(int width, int height) {
  repaintVideoArea_ = true;
  // A drag of the window frame lays out once, when the button comes up.
  if (LeftButtonDown()) {
    pendingResize_ = std::make_pair(width, height);
    return;
  }
  ApplySize(width, height);
}

void CQMXPlayerDlg::ApplySize(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
  if (dialogReady_) {
    const bool hidden = BarControlsHidden(captured_, this->width(), this->height(), interfaceHidden_);
    for (auto& [id, b] : buttons_) b->setVisible(!hidden);
    slider_->setVisible(!hidden);
    if (!hidden) {
      const SkipButtonLooks looks = SkipLooksForSpeed(scanSpeed_);
      SetButtonVisible(kSkipBackButton, looks.backNormal);
      SetButtonVisible(kSkipBackActiveButton, looks.backActive);
      SetButtonVisible(kSkipForwardButton, looks.forwardNormal);
      SetButtonVisible(kSkipForwardActiveButton, looks.forwardActive);
    }
    extraHeight_ = hidden ? kHiddenInterfaceExtraHeight : 0;
  }
  LayoutVideoArea();
  for (const PlacedControl& c : PlaceBarControls(captured_, width, height)) {
    QWidget* w = c.id == kPositionSlider ? static_cast<QWidget*>(slider_) : Button(c.id);
    if (w) w->setGeometry(ToQRect(c.rect));
  }
  LayoutTimeline();
  ArrangePanes();
  canvas_->update();
}

void CQMXPlayerDlg::LayoutVideoArea() {
  VideoAreaInput in;
  in.clientWidth = clientWidth_;
  in.clientHeight = clientHeight_;
  in.extraHeight = extraHeight_;
  in.quad = IsChecked(kQuadButton);
  in.stackedLayout = playback_ && dvrKind_ == 2;
  in.previousLetterbox = video_.letterbox;
  in.previousPillarbox = video_.pillarbox;
  in.timelineHeight = TimelineHeight();
  video_ = ::LayoutVideoArea(captured_, in);
  for (int k = 0; k < 4; ++k) panes_[k]->setGeometry(ToQRect(video_.panes[k]));
}

void CQMXPlayerDlg::ArrangePanes() {
  if (!playback_) return;
  const VideoArrangement a = playback_->ArrangeVideo(IsChecked(kQuadButton), -1);
  for (int k = 0; k < 4; ++k) panes_[k]->SetCrop(a.crop[k]);
  paneChannel_ = a.paneChannel;
}

void CQMXPlayerDlg::ShowFrames() {
  std::array<QImage, 4> fresh;
  for (int c = 0; c < 4; ++c) fresh[c] = relay_.Take(c);
  for (int k = 0; k < 4; ++k) {
    const int c = paneChannel_[k];
    if (c >= 0 && c < 4 && !fresh[c].isNull() && panes_[k]->isVisible()) {
      panes_[k]->SetFrame(fresh[c]);
      ++framesShown_;
    }
  }
}

void CQMXPlayerDlg::InvalidateStrips() {
  QRegion r(ToQRect(StatusStripRect(clientWidth_, clientHeight_)));
  PixelRect top = video_.topBanner;
  top.bottom -= 3;
  r += ToQRect(top);
  r += ToQRect(DrawnBottomBanner(video_, extraHeight_));
  for (const PixelRect& bar : video_.bars) r += ToQRect(bar);
  canvas_->update(r);
}

std::string CQMXPlayerDlg::TimeText() const {
  if (!playback_) return {};
  const int64_t total = playback_->GetTotal();
  return FormatTimeText(CurrentCentis(playback_->GetPosition(), total), total);
}

std::string CQMXPlayerDlg::StatusLine() const {
  if (!playback_ && liveSession_) return LiveStatusLine(liveSession_->GetConnectionState());
  if (!playback_) return statusText_;
  // The last checked of "1".."4" names the channel whose size is shown.
  int viewChannel = 0;
  for (int k = 0; k < 4; ++k)
    if (IsChecked(kViewButtons[k])) viewChannel = k + 1;
  const auto [w, h] = viewChannel ? channelSize_[viewChannel - 1] : std::pair<int, int>{0, 0};
  const std::string resolution = ResolutionText(IsChecked(kQuadButton), viewChannel, w, h, scanSpeed_);
  return RecordingStatusLine(statusText_, displayName_, resolution, extraHeight_ > 0) + speed_->StatusText() +
         frameStep_->StatusText();
}

void CQMXPlayerDlg::PaintCanvas(QPainter& p) {
  p.fillRect(canvas_->rect(), Qt::black);
  if (LeftButtonDown()) return;  // nothing is drawn while a button is held (a window drag)
  // The overlays draw nothing until the glyph fonts exist.
  CreateProcessGlyphFonts();
  repaintVideoArea_ = false;

  const QRect strip = ToQRect(StatusStripRect(clientWidth_, clientHeight_));
  QFont status(QStringLiteral("Arial"));
  status.setPixelSize(14);
  status.setWeight(QFont::Light);
  p.setFont(status);
  p.setPen(Qt::white);
  const QRect text = strip.adjusted(20, 2, -20, 0);
  p.drawText(text, Qt::AlignLeft | Qt::AlignTop, FromDvrText(StatusLine()));
  if (playback_) p.drawText(text, Qt::AlignRight | Qt::AlignTop, QString::fromStdString(TimeText()));

  if ((playback_ || liveSession_) && bannerOn_) {
    QFont bannerFont(QStringLiteral("Arial"));
    bannerFont.setPixelSize(12);
    bannerFont.setWeight(QFont::Bold);
    p.setFont(bannerFont);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Qt::black);
    const std::array<std::string, 4> lines = banner_.Lines();
    const QRect top = ToQRect(video_.topBanner);
    const QRect bottom = ToQRect(DrawnBottomBanner(video_, extraHeight_));
    p.drawText(top, Qt::AlignHCenter | Qt::AlignTop, FromDvrText(lines[0]));
    p.drawText(top.adjusted(0, 15, 0, 0), Qt::AlignHCenter | Qt::AlignTop, FromDvrText(lines[1]));
    p.drawText(bottom, Qt::AlignHCenter | Qt::AlignTop, FromDvrText(lines[2]));
    p.drawText(bottom.adjusted(0, 15, 0, 0), Qt::AlignHCenter | Qt::AlignTop, FromDvrText(lines[3]));
  }
  UpdateMenuState();
}
