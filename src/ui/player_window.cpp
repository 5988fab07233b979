// The main window's construction: menu, control bar, panes, timer.
#include "ui/player_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSlider>

#include "base/settings.h"
#include "base/titles.h"
#include "engine/pipeline/playback_engine.h"
#include "ui/bookmark_controller.h"
#include "ui/clip_extraction_controller.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/evidence_controller.h"
#include "ui/frame_step_controller.h"
#include "ui/go_to_controller.h"
#include "ui/live_controller.h"
#include "ui/map_controller.h"
#include "ui/picture_controller.h"
#include "ui/please_wait_dialog.h"
#include "ui/redaction_controller.h"
#include "ui/speed_controller.h"
#include "ui/timeline_controller.h"
#include "ui/timeline_strip.h"
#include "ui/units_clock_controller.h"
#include "ui/video_pane.h"

namespace {

constexpr int kTimerPeriodMs = 150;

// The icon of each bar button (src/ui/icons).
const char* IconOf(int id) {
  switch (id) {
    case kOpenButton:
      return ":/icons/open.svg";
    case kOpenStreamButton:
      return ":/icons/stream.svg";
    case kPlayButton:
      return ":/icons/play.svg";
    case kPauseButton:
      return ":/icons/pause.svg";
    case kStopButton:
      return ":/icons/stop.svg";
    case kSkipBackButton:
      return ":/icons/skip_backward.svg";
    case kSkipBackActiveButton:
      return ":/icons/skip_backward_active.svg";
    case kSkipForwardButton:
      return ":/icons/skip_forward.svg";
    case kSkipForwardActiveButton:
      return ":/icons/skip_forward_active.svg";
    case kSnapshotButton:
      return ":/icons/snapshot.svg";
    case kClipButton:
      return ":/icons/clip.svg";
    case kMapButton:
      return ":/icons/map.svg";
    case kQuadButton:
      return ":/icons/quad.svg";
    default:
      break;
  }
  for (int k = 0; k < 4; ++k)
    if (id == kViewButtons[k]) {
      static const char* const views[4] = {":/icons/view1.svg", ":/icons/view2.svg", ":/icons/view3.svg",
                                           ":/icons/view4.svg"};
      return views[k];
    }
  return nullptr;
}

}  // namespace

CQMXPlayerDlg::CQMXPlayerDlg(std::string brand, EngineConfig engineConfig, QWidget* parent)
    : QMainWindow(parent),
      brand_(std::move(brand)),
      engineConfig_(std::move(engineConfig)),
      statusText_(kStatusNoVideo) {
  Q_INIT_RESOURCE(icons);
  setWindowIcon(QIcon(QStringLiteral(":/icons/qmxplayer.svg")));
  setAcceptDrops(true);
  setObjectName(QStringLiteral("CQMXPlayerDlg"));

  canvas_ = new QWidget(this);
  canvas_->setObjectName(QStringLiteral("client"));
  canvas_->setAttribute(Qt::WA_OpaquePaintEvent);
  canvas_->installEventFilter(this);
  setCentralWidget(canvas_);

  dialogReady_ = true;
  SetTitle(MainWindowTitle(brand_));
  MakeFeatureControllers();
  BuildMenu();
  AddConversionMenuEntry();
  AddRecentMenu();
  AddEvidenceCommands();
  AddVideoExportCommand();
  AddReportCommand();
  AddLibraryCommand();
  {
    QMenu* video = nullptr;
    for (QAction* a : menuBar()->actions())
      if (a->menu() && a->text() == QString::fromUtf8(PopupTitle(MenuPopup::kVideo))) video = a->menu();
    auto engine = [this] { return playback_.get(); };
    speed_ = new SpeedController(*this, video, engine);
    frameStep_ = new FrameStepController(
        *this, video, engine, [this] { return metadataChannel_ - 1; }, [this] { Pause(); });
    goTo_ = new GoToController(
        *this, video, engine,
        [this] { return timeline_ && timeline_->Strip()->Scanned() ? &timeline_->Strip()->Scan() : nullptr; },
        [this](int64_t centis) { SeekToCentis(centis); });
    redactions_ =
        new RedactionController(*this, video, engine, [this](int k) { return panes_[std::size_t(k)]; });
  }
  captured_ = CaptureLayout();
  BuildControls();
  {
    QMenu* video = nullptr;
    for (QAction* a : menuBar()->actions())
      if (a->menu() && a->text() == QString::fromUtf8(PopupTitle(MenuPopup::kVideo))) video = a->menu();
    picture_ = new PictureController(
        *this, video, panes_, [this] { return playback_.get(); },
        [this](int pane) { return paneChannel_[size_t(pane)]; }, [this] { return playback_ != nullptr; });
  }
  BuildVolumeControls();
  BuildTimeline();
  for (QAction* a : menuBar()->actions())
    if (a->menu() && a->text() == QString::fromUtf8(PopupTitle(MenuPopup::kVideo))) {
      bookmarks_ = new BookmarkController(
          *this, a->menu(), *timeline_->Strip(),
          [this] { return playback_ ? std::vector<std::string>{currentPath_} : std::vector<std::string>{}; },
          [this] { return playback_ ? playback_->GetPositionCentis() : int64_t(0); },
          [this](int64_t centis) { SeekToCentis(centis); });
      connect(this, &CQMXPlayerDlg::OpenFinished, bookmarks_, &BookmarkController::Reload);
      unitsClock_ = new UnitsClockController(
          *this, a->menu(), *timeline_->Strip(),
          [this] { return playback_ ? std::vector<std::string>{currentPath_} : std::vector<std::string>{}; },
          [this](ClockShown clock, int64_t correction) {
            banner_.SetClock(clock, correction);
            InvalidateStrips();
          },
          [this] {
            if (playback_ && !playback_->IsPlaying()) SeekToCentis(playback_->GetPositionCentis());
          });
      connect(this, &CQMXPlayerDlg::OpenFinished, unitsClock_, &UnitsClockController::Reload);
    }
  InitialControlStates();
  // The window opens at about two thirds of the screen (the template's size
  // at least), or where the user left it; the menu bar sits above the client.
  canvas_->setMinimumSize(1, 1);
  const int menuHeight = menuBar()->sizeHint().height();
  const QRect screen = QGuiApplication::primaryScreen()
                           ? QGuiApplication::primaryScreen()->availableGeometry()
                           : QRect(0, 0, captured_.initialWidth, captured_.initialHeight);
  const WindowSize opening = OpeningWindowSize(captured_, screen.width(), screen.height() - menuHeight);
  resize(opening.width, opening.height + menuHeight);
  clientWidth_ = opening.width;
  clientHeight_ = opening.height;
  RestoreWindowPlacement();
  ApplySize(clientWidth_, clientHeight_);
  UpdateMenuState();

  // Space plays and pauses, on top of the menu's own shortcuts.
  auto* playPause = new QShortcut(QKeySequence(Qt::Key_Space), this);
  connect(playPause, &QShortcut::activated, this, [this] {
    if (playback_) RunCommand(IsChecked(kPlayButton) ? kCmdPause : kCmdPlay);
  });

  connect(&relay_, &FrameRelay::FramesArrived, this, &CQMXPlayerDlg::ShowFrames);
  connect(&timer_, &QTimer::timeout, this, &CQMXPlayerDlg::OnTick);
  timer_.start(kTimerPeriodMs);
}

CQMXPlayerDlg::~CQMXPlayerDlg() {
  timer_.stop();
  if (openThread_.joinable()) openThread_.join();
  opening_.reset();
  playback_.reset();
  for (Retiree& r : retired_) r.thread.join();
}

void CQMXPlayerDlg::BuildMenu() {
  std::unordered_map<int, QMenu*> menus;
  auto menuFor = [&](MenuPopup popup) {
    auto it = menus.find(int(popup));
    if (it != menus.end()) return it->second;
    QMenu* m = new QMenu(QString::fromUtf8(PopupTitle(popup)), this);
    menus[int(popup)] = m;
    return m;
  };
  // Video Window and Metadata are pop-ups at positions 7 and 8 of Video.
  QMenu* video = menuFor(MenuPopup::kVideo);
  int videoItems = 0;
  bool subMenusPlaced = false;
  auto placeSubMenus = [&] {
    if (subMenusPlaced) return;
    subMenusPlaced = true;
    video->addMenu(menuFor(MenuPopup::kVideoWindow));
    video->addMenu(menuFor(MenuPopup::kMetadata));
  };
  for (const CommandInfo& c : MenuCommands()) {
    QMenu* m = menuFor(c.popup);
    if (c.popup == MenuPopup::kVideo && videoItems++ == 7) placeSubMenus();
    AddCommandAction(m, c);
  }
  placeSubMenus();
  for (MenuPopup p : {MenuPopup::kFile, MenuPopup::kVideo, MenuPopup::kAudio, MenuPopup::kHelp})
    menuBar()->addMenu(menuFor(p));
  // The Metadata modes: exactly one is on.
  auto* modes = new QActionGroup(this);
  modes->setExclusive(true);
  for (int id : {kCmdMetadataHide, kCmdMetadataOverlay, kCmdMetadataBanner, kCmdMetadataBoth}) {
    Action(id)->setCheckable(true);
    modes->addAction(Action(id));
  }
  Action(kCmdMetadataBanner)->setChecked(true);
}

void CQMXPlayerDlg::BuildControls() {
  for (int k = 0; k < 4; ++k) {
    panes_[k] = new VideoPane(k, canvas_);
    connect(panes_[k], &VideoPane::DoubleClicked, this, &CQMXPlayerDlg::OnPaneDoubleClicked);
    connect(panes_[k], &VideoPane::FullFrameWantedChanged, this, [this] { ApplyShownSizes(); });
  }
  for (const ControlInfo& c : BarControls()) {
    const PixelRect size{0, 0, DialogUnitsToPixelsX(c.rect.width), DialogUnitsToPixelsY(c.rect.height)};
    if (c.id == kPositionSlider) {
      slider_ = new QSlider(Qt::Horizontal, canvas_);
      slider_->setObjectName(QString::fromUtf8(c.objectName));
      slider_->setRange(0, 1000);
      slider_->setPageStep(10);
      slider_->setTickInterval(1);
      slider_->setFocusPolicy(Qt::NoFocus);
      slider_->setMouseTracking(true);  // the time under the mouse as a tooltip
      slider_->installEventFilter(this);
      connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
        switch (action) {
          case QAbstractSlider::SliderPageStepAdd:
            OnSliderScroll(SliderEvent::kPageRight, 0);
            break;
          case QAbstractSlider::SliderPageStepSub:
            OnSliderScroll(SliderEvent::kPageLeft, 0);
            break;
          case QAbstractSlider::SliderMove:
            OnSliderScroll(SliderEvent::kThumbTrack, slider_->sliderPosition());
            break;
          default:
            OnSliderScroll(SliderEvent::kLineRight, 0);
            break;
        }
      });
      // Holding the thumb without moving it already keeps the timer off it.
      connect(slider_, &QSlider::sliderPressed, this,
              [this] { OnSliderScroll(SliderEvent::kThumbTrack, slider_->sliderPosition()); });
      connect(slider_, &QSlider::sliderReleased, this,
              [this] { OnSliderScroll(SliderEvent::kEndScroll, slider_->sliderPosition()); });
      continue;
    }
    auto* b = new QPushButton(canvas_);
    b->setObjectName(QString::fromUtf8(c.objectName));
    b->setCheckable(true);
    b->setFocusPolicy(Qt::NoFocus);  // keys belong to the shortcuts
    b->resize(size.width(), size.height());
    if (const char* icon = IconOf(c.id)) {
      b->setIcon(QIcon(QString::fromUtf8(icon)));
      b->setIconSize(QSize(size.height() - 6, size.height() - 6));
    }
    if (c.tooltip) b->setToolTip(QString::fromUtf8(c.tooltip));
    const int id = c.id;
    connect(b, &QPushButton::clicked, this, [this, id] { RunCommand(id); });
    buttons_[id] = b;
  }
}

void CQMXPlayerDlg::InitialControlStates() {
  for (int k = 1; k < 4; ++k) panes_[k]->hide();
  SetButtonChecked(kStopButton, true);
  for (int id : {kClipButton, kMapButton, kPlayButton, kPauseButton, kStopButton, kViewButtons[0],
                 kViewButtons[1], kViewButtons[2], kViewButtons[3], kQuadButton, kSkipBackButton,
                 kSkipForwardButton, kSkipBackActiveButton, kSkipForwardActiveButton, kSnapshotButton})
    SetButtonEnabled(id, false);
  SetButtonVisible(kSkipBackActiveButton, false);
  SetButtonVisible(kSkipForwardActiveButton, false);
  SetButtonChecked(kViewButtons[0], true);
}

QPushButton* CQMXPlayerDlg::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

QAction* CQMXPlayerDlg::AddCommandAction(QMenu* menu, const CommandInfo& c) {
  if (c.separatorBefore) menu->addSeparator();
  QAction* a = menu->addAction(QString::fromUtf8(c.caption));
  a->setObjectName(QStringLiteral("command%1").arg(c.id));
  if (c.shortcut && *c.shortcut) {
    a->setShortcut(QKeySequence(QString::fromUtf8(c.shortcut)));
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);  // the shortcut works with the menu bar hidden (full screen) too
  }
  const int id = c.id;
  connect(a, &QAction::triggered, this, [this, id] { RunCommand(id); });
  actions_[id] = a;
  return a;
}

QAction* CQMXPlayerDlg::Action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CQMXPlayerDlg::SetButtonEnabled(int id, bool on) {
  if (QPushButton* b = Button(id)) b->setEnabled(on);
}

void CQMXPlayerDlg::SetButtonChecked(int id, bool on) {
  if (QPushButton* b = Button(id)) b->setChecked(on);
}

void CQMXPlayerDlg::SetButtonVisible(int id, bool on) {
  if (QPushButton* b = Button(id)) b->setVisible(on);
}

bool CQMXPlayerDlg::IsChecked(int id) const {
  QPushButton* b = Button(id);
  return b && b->isChecked();
}

void CQMXPlayerDlg::keyPressEvent(QKeyEvent* event) {
  // Escape leaves full screen and nothing else (Ctrl+Q quits); Enter does nothing.
  if (event->key() == Qt::Key_Escape) {
    SetFullScreen(false);
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
  QMainWindow::keyPressEvent(event);
}

void CQMXPlayerDlg::SetTitle(const std::string& title) {
  setWindowTitle(QString::fromStdString(title));
}

void CQMXPlayerDlg::SetFullScreen(bool on) {
  if (on == fullScreen_) return;
  fullScreen_ = on;
  menuBar()->setVisible(!on);
  // The geometry is set too: without a window manager (a bare X server)
  // the full-screen state alone changes nothing.
  if (on) {
    wasMaximized_ = isMaximized();
    normalGeometry_ = geometry();
    showFullScreen();
    if (QScreen* s = screen()) setGeometry(s->geometry());
  } else if (wasMaximized_) {
    showMaximized();
  } else {
    showNormal();
    setGeometry(normalGeometry_);
  }
  ApplySize(canvas_->width(), canvas_->height());
  UpdateMenuState();
}

void CQMXPlayerDlg::RestoreWindowPlacement() {
  const std::string stored = ReadSetting(kWindowPlacementSetting);
  if (!stored.empty()) restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(stored)));
}

void CQMXPlayerDlg::SaveWindowPlacement() {
  // Full screen is left out: the next start opens where the window stood before.
  if (fullScreen_) return;
  WriteSetting(kWindowPlacementSetting, saveGeometry().toBase64().toStdString());
}
