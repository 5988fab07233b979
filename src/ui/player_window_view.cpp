// The main window's geometry and painting: resizes, the video area, the
// status strip and the banner strips.
#include <QGuiApplication>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

#include "engine/pipeline/playback_engine.h"
#include "metadata/qt/glyph_font_rasterizer.h"
#include "metadata/windows1252.h"
#include "ui/core/window_controls.h"
#include "ui/frame_step_controller.h"
#include "ui/picture_controller.h"
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

QString CQMXPlayerDlg::SliderTimeAt(int x) const {
  if (!playback_) return {};
  QStyleOptionSlider opt;
  opt.initFrom(slider_);
  opt.orientation = slider_->orientation();
  opt.minimum = slider_->minimum();
  opt.maximum = slider_->maximum();
  const QRect groove =
      slider_->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, slider_);
  const QRect handle =
      slider_->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider_);
  const int span = std::max(1, groove.width() - handle.width());
  const int perMille = QStyle::sliderValueFromPosition(slider_->minimum(), slider_->maximum(),
                                                       x - groove.x() - handle.width() / 2, span);
  return QString::fromStdString(FormatClockText(CurrentCentis(perMille, playback_->GetTotal())));
}

bool CQMXPlayerDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == slider_) {
    if (event->type() == QEvent::Wheel) {
      // A notch steps the position; the slider's own wheel handling would
      // start a drag that never ends.
      const QPoint delta = static_cast<QWheelEvent*>(event)->angleDelta();
      wheelAngle_ += delta.y() != 0 ? delta.y() : delta.x();
      while (std::abs(wheelAngle_) >= 120) {
        const int direction = wheelAngle_ > 0 ? 1 : -1;
        wheelAngle_ -= direction * 120;
        WheelStep(direction);
      }
      return true;
    }
    if (event->type() == QEvent::MouseMove) {
      const auto* move = static_cast<QMouseEvent*>(event);
      const QString text = SliderTimeAt(int(move->position().x()));
      if (text.isEmpty())
        QToolTip::hideText();
      else
        QToolTip::showText(move->globalPosition().toPoint(), text, slider_);
    }
    return QMainWindow::eventFilter(watched, event);
  }
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
    const bool hidden =
        fullScreen_ || BarControlsHidden(captured_, this->width(), this->height(), interfaceHidden_);
    for (auto& [id, b] : buttons_) b->setVisible(!hidden);
    slider_->setVisible(!hidden);
    if (!hidden) {
      const SkipButtonLooks looks = SkipLooksForSpeed(scanSpeed_);
      SetButtonVisible(kSkipBackButton, looks.backNormal);
      SetButtonVisible(kSkipBackActiveButton, looks.backActive);
      SetButtonVisible(kSkipForwardButton, looks.forwardNormal);
      SetButtonVisible(kSkipForwardActiveButton, looks.forwardActive);
    }
    extraHeight_ = hidden && !fullScreen_ ? kHiddenInterfaceExtraHeight : 0;
  }
  LayoutVideoArea();
  for (const PlacedControl& c : PlaceBarControls(captured_, width, height)) {
    QWidget* w = c.id == kPositionSlider ? static_cast<QWidget*>(slider_) : Button(c.id);
    if (w) w->setGeometry(ToQRect(c.rect));
  }
  PlaceVolumeControls(!slider_->isVisible() && dialogReady_);
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
  in.stackedLayout = playback_ && dvrKind_ == DvrLayout::kTwoChannelStacked;
  in.previousLetterbox = video_.letterbox;
  in.previousPillarbox = video_.pillarbox;
  in.timelineHeight = TimelineHeight();
  in.fullScreen = fullScreen_;
  in.pictureAspect = laidOutAspect_ = ShownPictureAspect();
  video_ = ::LayoutVideoArea(captured_, in);
  for (int k = 0; k < 4; ++k) panes_[k]->setGeometry(ToQRect(video_.panes[k]));
  ApplyShownSizes();
}

void CQMXPlayerDlg::ApplyShownSizes() {
  if (!playback_) return;
  // Only a four-camera recording's own pictures are decoded reduced: the
  // two-camera layouts crop and stack their frame, and the metadata text
  // is drawn at the recorded size.
  const bool reducible = dvrKind_ == DvrLayout::kFourChannel && !overlayOn_;
  const double ratio = devicePixelRatioF();
  for (int c = 0; c < 4; ++c) {
    int width = 0, height = 0;
    for (int k = 0; k < 4 && reducible; ++k) {
      if (paneChannel_[k] != c || !panes_[k]->isVisibleTo(canvas_)) continue;
      const auto [w, h] = channels_[std::size_t(c)].size;
      if (w <= 0 || h <= 0) continue;
      // A zoomed pane draws its area from the whole recorded frame.
      if (panes_[k]->WantsFullFrame()) {
        width = w, height = h;
        break;
      }
      const PixelRect box{0, 0, panes_[k]->width(), panes_[k]->height()};
      // The shape the pane shows the picture at, its stated aspect included.
      const PixelRect fit = FitPicture(box, PictureAspect(w, h, panes_[k]->StatedAspect()));
      width = std::max(width, int(fit.width() * ratio + 0.5));
      height = std::max(height, int(fit.height() * ratio + 0.5));
    }
    playback_->SetShownSize(c, width, height);
    if (width > 0 && !playback_->IsPlaying()) GiveFullFrames(c, QSize(width, height));
  }
}

void CQMXPlayerDlg::GiveFullFrames(int c, QSize shown) {
  const auto [w, h] = channels_[std::size_t(c)].size;
  const QSize picture(w, h);
  bool reducedTooSmall = false;
  for (int k = 0; k < 4; ++k) {
    const QImage& frame = panes_[k]->Frame();
    reducedTooSmall =
        reducedTooSmall || (paneChannel_[k] == c && !frame.isNull() && frame.size() != picture &&
                            (frame.width() < shown.width() || frame.height() < shown.height()));
  }
  std::vector<uint8_t> rgb;
  int width = 0, rows = 0;
  if (!reducedTooSmall || !playback_->SnapshotImage(c, rgb, width, rows) || QSize(width, rows) != picture)
    return;
  const QImage full =
      QImage(rgb.data(), width, rows, width * 3, QImage::Format_RGB888).convertToFormat(QImage::Format_RGB32);
  for (int k = 0; k < 4; ++k)
    if (paneChannel_[k] == c) panes_[k]->SetFrame(full);
}

void CQMXPlayerDlg::ArrangePanes() {
  if (!playback_) return;
  const VideoArrangement a = playback_->ArrangeVideo(IsChecked(kQuadButton), -1);
  for (int k = 0; k < 4; ++k) panes_[k]->SetCrop(a.crop[k]);
  paneChannel_ = a.paneChannel;
  for (int k = 0; k < 4; ++k) {
    const int c = paneChannel_[k];
    panes_[k]->SetStatedAspect(c >= 0 && c < 4 ? channels_[std::size_t(c)].statedAspect : 0);
    const auto [w, h] = c >= 0 && c < 4 ? channels_[std::size_t(c)].size : std::pair(0, 0);
    panes_[k]->SetPictureSize(QSize(w, h));
  }
  picture_->Arranged();
}

double CQMXPlayerDlg::ShownPictureAspect() const {
  // The frames themselves say best what is shown (a live stream's too);
  // before the first one, the recording's header.
  for (VideoPane* pane : panes_)
    if (pane->isVisibleTo(canvas_) && !pane->Frame().isNull()) return pane->ShownAspect();
  if (!playback_) return 0;
  const bool quad = IsChecked(kQuadButton);
  int channel = -1;
  for (int k = 0; k < 4 && channel < 0; ++k)
    if (quad ? channels_[k].present : IsChecked(kViewButtons[k])) channel = k;
  if (dvrKind_ == DvrLayout::kTwoChannelStacked) channel = 0;  // both cameras share the first channel's frame
  if (channel < 0) return 0;
  auto [w, h] = channels_[channel].size;
  if (dvrKind_ == DvrLayout::kTwoChannelStacked && !quad) h /= 2;
  return PictureAspect(w, h, channels_[std::size_t(channel)].statedAspect);
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
  // A picture of another shape than the area was laid out for (the first
  // frame, a stream's camera changing size) lays the area out again.
  if (const double a = ShownPictureAspect(); a > 0 && std::abs(a - laidOutAspect_) > 1e-3) {
    LayoutVideoArea();
    canvas_->update();
  }
}

void CQMXPlayerDlg::OnPaneDoubleClicked(int index) {
  if (!playback_ && !Live()) return SetFullScreen(!fullScreen_);
  if (IsChecked(kQuadButton) && dvrKind_ != DvrLayout::kTwoChannelStacked) {
    // One camera of the quad, alone; the next double-click goes back.
    SelectView(VideoView::Camera(index));
    soloFromQuad_ = true;
    return;
  }
  if (soloFromQuad_) return SelectView(VideoView::Quad());
  SetFullScreen(!fullScreen_);
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
  // While the thumb is held the clock shows where the drag would seek.
  const double perMille = drag_.held && slider_->isSliderDown() ? drag_.target : playback_->GetPosition();
  return FormatTimeText(CurrentCentis(perMille, total), total);
}

std::string CQMXPlayerDlg::StatusLine() const {
  if (!playback_ && Live()) return LiveStatusLine(Live()->GetConnectionState());
  if (!playback_) return statusText_;
  // The last checked of "1".."4" names the channel whose size is shown.
  int viewChannel = 0;
  for (int k = 0; k < 4; ++k)
    if (IsChecked(kViewButtons[k])) viewChannel = k + 1;
  auto [w, h] = viewChannel ? channels_[viewChannel - 1].size : std::pair<int, int>{0, 0};
  // Both cameras of a stacked two-camera recording are halves of the first channel's frame.
  if (viewChannel && dvrKind_ == DvrLayout::kTwoChannelStacked) {
    w = channels_[0].size.first;
    h = channels_[0].size.second / 2;
  }
  const std::string resolution = ResolutionText(IsChecked(kQuadButton), viewChannel, w, h, scanSpeed_);
  return RecordingStatusLine(statusText_, displayName_, resolution, extraHeight_ > 0) + speed_->StatusText() +
         frameStep_->StatusText();
}

void CQMXPlayerDlg::PaintCanvas(QPainter& p) {
  p.fillRect(canvas_->rect(), Qt::black);
  // The overlays draw nothing until the glyph fonts exist.
  CreateProcessGlyphFonts();
  repaintVideoArea_ = false;

  if (!fullScreen_) {
    const QRect strip = ToQRect(StatusStripRect(clientWidth_, clientHeight_));
    QFont status(QStringLiteral("Arial"));
    status.setPixelSize(14);
    status.setWeight(QFont::Light);
    p.setFont(status);
    p.setPen(Qt::white);
    const QRect text = strip.adjusted(20, 2, -20, 0);
    // The time keeps its place; the status text gives way before it, elided.
    const QString time = playback_ ? QString::fromStdString(TimeText()) : QString();
    const int timeWidth = time.isEmpty() ? 0 : p.fontMetrics().horizontalAdvance(time) + 12;
    const QString line = p.fontMetrics().elidedText(FromDvrText(StatusLine()), Qt::ElideMiddle,
                                                    std::max(0, text.width() - timeWidth));
    p.drawText(text, Qt::AlignLeft | Qt::AlignTop, line);
    if (!time.isEmpty()) p.drawText(text, Qt::AlignRight | Qt::AlignTop, time);
    statusDrawn_ = line.toStdString();
  }

  if ((playback_ || Live()) && bannerOn_) {
    QFont bannerFont(QStringLiteral("Arial"));
    bannerFont.setPixelSize(12);
    bannerFont.setWeight(QFont::Bold);
    p.setFont(bannerFont);
    p.setPen(Qt::white);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Qt::black);
    const std::array<std::string, 4> lines = banner_.Lines();
    const QRect top = ToQRect(video_.topBanner);
    const QRect bottom = ToQRect(DrawnBottomBanner(video_, extraHeight_));
    p.drawText(top, Qt::AlignHCenter | Qt::AlignTop, FromDvrText(lines[0]));
    p.drawText(top.adjusted(0, 15, 0, 0), Qt::AlignHCenter | Qt::AlignTop, FromDvrText(lines[1]));
    p.drawText(bottom, Qt::AlignHCenter | Qt::AlignTop, FromDvrText(lines[2]));
    p.drawText(bottom.adjusted(0, 15, 0, 0), Qt::AlignHCenter | Qt::AlignTop, FromDvrText(lines[3]));
    bannerDrawn_ = true;
  } else {
    bannerDrawn_ = false;
  }
  UpdateMenuState();
}
