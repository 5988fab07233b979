// The main window's picture, size, full screen, the defects mended in its
// strips, menus and scan, and its conveniences: offscreen, on real
// recordings from the generator playing through real pipelines.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/settings.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"
#include "ui/clip_extract_dialog.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/core/recent_files.h"
#include "ui/core/status_text.h"
#include "ui/core/timeline_commands.h"
#include "ui/core/window_controls.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/timeline_strip.h"
#include "ui/video_pane.h"

namespace {

namespace fs = std::filesystem;

recgen::RecordingOptions Cameras(int width, int height, double seconds = 3, int kind = 0) {
  recgen::RecordingOptions o;
  o.width = width;
  o.height = height;
  o.kind = kind;
  o.fps = 10;
  o.seconds = seconds;
  return o;
}

class PlayerWindowDisplayTest : public testing::Test {
 protected:
  void SetUp() override {
    SaveAudioRouting(DefaultAudioRouting());
    for (const char* name : {"WindowPlacement", "CompactTimeline", "ShowTimeline", "LastFolder"})
      WriteSetting(name, "");
    SaveRecentFiles({});
    SetMessageCatcher([this](const std::string&, const std::string& text) { messages_.push_back(text); });
    window_ = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
  }
  void TearDown() override {
    window_.reset();
    SetMessageCatcher({});
  }
  fs::path Write(const std::string& name, const recgen::RecordingOptions& o) {
    std::string error;
    EXPECT_TRUE(recgen::WriteRecording(dir_ / name, o, error)) << error;
    return dir_ / name;
  }
  int Open(const fs::path& path) {
    QSignalSpy finished(window_.get(), &CQMXPlayerDlg::OpenFinished);
    window_->OpenRecording(path.string());
    EXPECT_TRUE(finished.wait(30000)) << path;
    return finished.isEmpty() ? -1 : finished.front().front().toInt();
  }
  // Shown at `size` and playing `path` with a frame in every visible pane.
  void ShowPlaying(const fs::path& path, QSize size, bool quad) {
    window_->resize(size);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    ASSERT_EQ(Open(path), kGraphOk);
    if (quad) window_->RunCommand(kCmdAllVideos);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          for (int k = 0; k < 4; ++k)
            if (window_->Pane(k)->isVisible() && window_->Pane(k)->Frame().isNull()) return false;
          return true;
        },
        20000));
  }
  static double Aspect(const QRect& r) { return double(r.width()) / r.height(); }
  bool Checked(int id) { return window_->Button(id)->isChecked(); }

  TempDir dir_;
  std::vector<std::string> messages_;
  std::unique_ptr<CQMXPlayerDlg> window_;
};

TEST_F(PlayerWindowDisplayTest, EachPictureAtItsOwnAspectLetterboxedAndSmoothlyScaled) {
  struct Case {
    const char* what;
    int width, height;
    bool quad;
    double aspect;
    std::pair<int, int> stated{0, 0};  // the aspect the headers state
    const char* probed = "";           // ffprobe's display aspect of the file
  };
  const std::vector<Case> cases = {
      {"720x576 shows as 5:4", 720, 576, false, 1.25},
      {"720x480 shows as 3:2", 720, 480, false, 1.50},
      {"the quad keeps each camera's 3:2", 720, 480, true, 1.50},
      {"a stated 16:9 wins over the size", 720, 576, false, 16.0 / 9, {16, 9}, "16:9"},
      {"and holds in every quad pane", 720, 480, true, 4.0 / 3, {4, 3}, "4:3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    window_ = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
    recgen::RecordingOptions options = Cameras(c.width, c.height);
    options.statedAspect = c.stated;
    const fs::path file = Write(std::to_string(c.width) + "x" + std::to_string(c.height) + "-" +
                                    std::to_string(c.stated.first) + ".avi",
                                options);
    // Another reader sees the same stated aspect in the file.
    if (*c.probed) {
      EXPECT_EQ(RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=display_aspect_ratio "
                           "-of csv=p=0 " +
                           ShellQuote(file.string())),
                std::string(c.probed) + "\n");
    }
    ShowPlaying(file, QSize(1045, 860), c.quad);
    for (int k = 0; k < (c.quad ? 4 : 1); ++k) {
      VideoPane* pane = window_->Pane(k);
      const QRect picture = pane->PictureRect();
      EXPECT_NEAR(Aspect(picture), c.aspect, 0.02) << k;
      // Letterboxed inside its pane, one side touching.
      EXPECT_TRUE(pane->rect().contains(picture)) << k;
      EXPECT_TRUE(picture.width() == pane->width() || picture.height() == pane->height()) << k;
      // Painted at the picture's size, from a frame of that size where the
      // picture is smaller than recorded, never from less. The decoder never
      // shrinks a side below half, so a stated aspect that narrows one side
      // further leaves that side at the half.
      // (The frames taken before the quad was laid out are whole.)
      const QSize recorded(c.width, c.height);
      const QSize shown = (QSizeF(picture.size()) * pane->devicePixelRatioF()).toSize().boundedTo(recorded);
      const QSize want = shown.expandedTo(recorded / 2);
      EXPECT_TRUE(QTest::qWaitFor([&] { return pane->Frame().size() == want; }, 10000))
          << k << ": " << pane->Frame().width() << "x" << pane->Frame().height() << " for " << shown.width()
          << "x" << shown.height();
      EXPECT_EQ(pane->Scaled().size(), picture.size());
    }
    if (c.quad) {
      const QRect cell = window_->Pane(0)->geometry();
      EXPECT_EQ(window_->Pane(1)->geometry().left(), cell.right() + 1);
      EXPECT_EQ(window_->Pane(2)->geometry().top(), cell.bottom() + 1);
    }
  }
}

TEST_F(PlayerWindowDisplayTest, FullScreenDoubleClicksEscapeAndOneToOne) {
  ShowPlaying(Write("quad.avi", Cameras(720, 480, 20)), QSize(1045, 860), true);

  // A double-click on a camera of the quad shows it alone; again, the quad.
  // (QTest's double-click leaves the button down: released by hand.)
  auto doubleClick = [](QWidget* pane) {
    QTest::mouseDClick(pane, Qt::LeftButton);
    QTest::mouseRelease(pane, Qt::LeftButton);
  };
  doubleClick(window_->Pane(2));
  EXPECT_TRUE(Checked(kViewButtons[2]));
  EXPECT_FALSE(Checked(kQuadButton));
  doubleClick(window_->Pane(2));
  EXPECT_TRUE(Checked(kQuadButton));

  // F11: only the pictures and the banner; Escape comes back and never quits.
  window_->RunCommand(kCmdFullScreen);
  ASSERT_TRUE(window_->FullScreenOn());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return window_->centralWidget()->size() == window_->screen()->geometry().size(); }, 5000));
  EXPECT_FALSE(window_->menuBar()->isVisible());
  EXPECT_FALSE(window_->Slider()->isVisible());
  EXPECT_FALSE(window_->Timeline()->isVisible());
  EXPECT_FALSE(window_->Button(kPlayButton)->isVisible());
  EXPECT_NEAR(window_->VideoLayout().area.width() + window_->VideoLayout().pillarbox,
              window_->centralWidget()->width(), 1);
  QTest::keyClick(window_.get(), Qt::Key_Escape);
  EXPECT_FALSE(window_->FullScreenOn());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->menuBar()->isVisible());
  EXPECT_TRUE(window_->Slider()->isVisible());

  // A double-click on a single camera the user chose: full screen.
  window_->RunCommand(kCmdVideo[0]);
  doubleClick(window_->Pane(0));
  EXPECT_TRUE(window_->FullScreenOn());
  QTest::keyClick(window_.get(), Qt::Key_Escape);

  // Hide Interface keeps its own item and shortcut, apart from full screen.
  EXPECT_EQ(window_->Action(kCmdHideInterface)->shortcut(), QKeySequence("Ctrl+H"));
  EXPECT_EQ(window_->Action(kCmdFullScreen)->shortcut(), QKeySequence("F11"));

  // Video Size 1:1: the picture is the camera's own pixels.
  window_->RunCommand(kCmdVideoSize1To1);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return window_->Pane(0)->PictureRect().size() == QSize(720, 480); }, 5000))
      << window_->Pane(0)->PictureRect().width() << "x" << window_->Pane(0)->PictureRect().height();
}

TEST_F(PlayerWindowDisplayTest, OpensLargeAndRemembersWhereItWas) {
  // Offscreen the screen is small: the template size is the floor.
  const CapturedLayout c = CaptureLayout();
  EXPECT_GE(window_->width(), c.initialWidth);
  EXPECT_GE(window_->height(), c.initialHeight);
  window_->show();
  window_->resize(900, 700);
  window_->move(40, 30);
  QApplication::processEvents();
  window_->close();
  window_ = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
  EXPECT_EQ(window_->size(), QSize(900, 700));
  // The bar hides below the template's size only, not below the opening size.
  window_->show();
  window_->resize(c.initialWidth + 10, c.initialHeight + 60);
  QApplication::processEvents();
  EXPECT_TRUE(window_->Button(kOpenButton)->isVisible());
}

// Each defect: the window's state that was wrong before.
TEST_F(PlayerWindowDisplayTest, StatusTextGivesWayToTheTime) {
  std::vector<fs::path> written;
  std::string error;
  ASSERT_TRUE(recgen::WriteGroup(dir_.path(), "FleetVan_Depot_North_Long_Name", 2, "+", Cameras(320, 240, 2),
                                 written, error))
      << error;
  window_->show();
  ASSERT_EQ(Open(written.front()), kGraphOk);
  window_->resize(CaptureLayout().initialWidth, CaptureLayout().initialHeight + 30);
  QApplication::processEvents();
  (void)window_->grab();  // one paint
  QFont status(QStringLiteral("Arial"));
  status.setPixelSize(14);
  status.setWeight(QFont::Light);
  const QFontMetrics m(status);
  const int room = window_->centralWidget()->width() - 40;
  EXPECT_NE(window_->StatusDrawn(), window_->StatusLine());  // elided
  EXPECT_LE(m.horizontalAdvance(QString::fromStdString(window_->StatusDrawn())) +
                m.horizontalAdvance(QString::fromStdString(window_->TimeText())),
            room);
}

TEST_F(PlayerWindowDisplayTest, BannerAndTimeStayWhileTheSliderIsHeld) {
  ShowPlaying(Write("held.avi", Cameras(320, 240, 10)), QSize(900, 700), false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->BannerLines()[0].empty(); }, 10000));
  QSlider* slider = window_->Slider();
  QStyleOptionSlider opt;
  opt.initFrom(slider);
  opt.orientation = slider->orientation();
  opt.minimum = slider->minimum();
  opt.maximum = slider->maximum();
  opt.sliderPosition = opt.sliderValue = slider->value();
  const QPoint start =
      slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider).center();
  QTest::mousePress(slider, Qt::LeftButton, {}, start);
  QTest::mouseMove(slider, QPoint(slider->width() - 8, slider->height() / 2));
  ASSERT_TRUE(QGuiApplication::mouseButtons() & Qt::LeftButton);
  (void)window_->grab();
  EXPECT_TRUE(window_->BannerDrawn());
  EXPECT_FALSE(window_->StatusDrawn().empty());
  // The clock shows where the drag would seek: near the end.
  const std::string time = window_->TimeText();
  EXPECT_GE(time.substr(0, time.find('/')), "0:00:08") << time;
  QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 8, slider->height() / 2));
}

TEST_F(PlayerWindowDisplayTest, FastScanStopsAtTheEndsOfTheRecording) {
  ShowPlaying(Write("scan.avi", Cameras(320, 240, 12)), QSize(900, 700), false);
  PlaybackEngine* e = window_->Engine();
  const int64_t total = e->GetTotal();
  // Forward, 5 s a step: it pauses on the last frames, never back at 0:00.
  window_->RunCommand(kCmdFrameForward);
  int64_t lowest = total;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (window_->ScanSpeed() != 0) lowest = std::min(lowest, e->GetPositionCentis());
        return window_->ScanSpeed() == 0 && Checked(kPauseButton);
      },
      20000));
  EXPECT_GE(e->GetPositionCentis(), total - 100);
  EXPECT_GT(lowest, 0);
  // Backward: it plays on from the start instead of sticking there.
  e->Seek(-1, 600);
  window_->RunCommand(kCmdPlay);
  window_->RunCommand(kCmdFrameBackward);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return window_->ScanSpeed() == 0 && e->GetPositionCentis() > 30; }, 20000));
  EXPECT_TRUE(e->IsPlaying());
  EXPECT_LT(e->GetPositionCentis(), 400);
}

TEST_F(PlayerWindowDisplayTest, MenusQuadStatusAndTitleFollowTheRecording) {
  // All Videos is grayed exactly when the quad button is.
  recgen::RecordingOptions single = Cameras(320, 240, 2);
  single.video = {true, false, false, false};
  single.audio = {true, false, false, false};
  struct Case {
    const char* what;
    fs::path file;
    bool quad;
  };
  const std::vector<Case> cases = {{"one camera", Write("one.avi", single), false},
                                   {"four cameras", Write("four.avi", Cameras(320, 240, 2)), true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Open(c.file), kGraphOk);
    EXPECT_EQ(window_->Button(kQuadButton)->isEnabled(), c.quad);
    window_->RunCommand(kCmdPlay);  // a menu update
    EXPECT_EQ(window_->Action(kCmdAllVideos)->isEnabled(), c.quad);
  }

  // A two-camera recording's second view never shows an unknown size.
  ASSERT_EQ(Open(Write("two.avi", Cameras(320, 240, 2, 2))), kGraphOk);
  window_->RunCommand(kCmdVideo[1]);
  EXPECT_EQ(window_->StatusLine().find("-1"), std::string::npos) << window_->StatusLine();

  // A failed open leaves the title as it was.
  window_->RunCommand(kCmdClose);
  std::ofstream(dir_ / "broken.avi") << std::string(4096, 'x');
  EXPECT_NE(Open(dir_ / "broken.avi"), kGraphOk);
  EXPECT_EQ(window_->windowTitle().toStdString(), "QMX Player");

  // Menus: no mnemonic twice in one menu; check boxes only on items that
  // can be checked; the Metadata modes one radio group.
  std::vector<QMenu*> menus;
  for (QAction* top : window_->menuBar()->actions())
    if (top->menu()) menus.push_back(top->menu());
  for (std::size_t i = 0; i < menus.size(); ++i) {
    std::set<QChar> letters;
    for (QAction* a : menus[i]->actions()) {
      if (a->isSeparator()) continue;
      if (a->menu()) menus.push_back(a->menu());
      const QString t = a->text();
      const qsizetype amp = t.indexOf('&');
      if (amp >= 0 && amp + 1 < t.size()) {
        EXPECT_TRUE(letters.insert(t[amp + 1].toLower()).second)
            << menus[i]->title().toStdString() << ": " << t.toStdString();
      }
    }
  }
  for (int id : {kCmdOpenFile, kCmdExit, kCmdAbout, kCmdPlay, kCmdClose, kCmdProperties})
    EXPECT_FALSE(window_->Action(id)->isCheckable()) << id;
  window_->RunCommand(kCmdMetadataOverlay);
  for (int id : {kCmdMetadataHide, kCmdMetadataOverlay, kCmdMetadataBanner, kCmdMetadataBoth}) {
    EXPECT_TRUE(window_->Action(id)->isCheckable()) << id;
    EXPECT_EQ(window_->Action(id)->isChecked(), id == kCmdMetadataOverlay) << id;
  }
}

TEST_F(PlayerWindowDisplayTest, RecentFilesVersionVolumeAndPositionHelpers) {
  const fs::path first = Write("first.avi", Cameras(320, 240, 12));
  const fs::path second = Write("second.avi", Cameras(320, 240, 12));
  ShowPlaying(first, QSize(1000, 800), false);
  ASSERT_EQ(Open(second), kGraphOk);
  // Open Recent: newest first, the gone one dropped; kept in the settings.
  emit window_->RecentMenu()->aboutToShow();
  ASSERT_EQ(window_->RecentMenu()->actions().size(), 2);
  EXPECT_EQ(window_->RecentMenu()->actions()[0]->data().toString().toStdString(), second.string());
  fs::remove(first);
  emit window_->RecentMenu()->aboutToShow();
  ASSERT_EQ(window_->RecentMenu()->actions().size(), 1);
  EXPECT_EQ(LoadRecentFiles(), std::vector<std::string>{second.string()});
  EXPECT_EQ(SettingsFilePath().rfind(dir_.path().string(), 0), std::string::npos);
  EXPECT_EQ(DialogStartFolder(window_->Engine()->Files().front().path), dir_.path().string());
  std::vector<std::string> many;
  for (int k = 0; k < 12; ++k) many = WithRecentFile(many, "/r/" + std::to_string(k) + ".avi");
  EXPECT_EQ(many.size(), std::size_t(kRecentFileCount));
  EXPECT_EQ(many.front(), "/r/11.avi");

  // The version: from the build, on the command line and in About.
  int status = -1;
  const std::string version =
      RunCommand(ShellQuote(std::string(QMX_APP_DIR) + "/qmxplayer") + " --version", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(version.rfind("qmxplayer ", 0), 0u) << version;
  window_->RunCommand(kCmdAbout);
  ASSERT_FALSE(messages_.empty());
  EXPECT_NE(messages_.back().find("Version " + version.substr(10, version.size() - 11)), std::string::npos);

  // Volume of the view's channel and mute: the other channels keep theirs.
  ASSERT_TRUE(window_->VolumeSlider()->isVisible());
  window_->VolumeSlider()->setValue(40);
  EXPECT_EQ(LoadAudioRouting().volume, (std::array<int, 4>{40, 100, 100, 100}));
  window_->MuteButton()->click();
  EXPECT_TRUE(window_->Muted());
  EXPECT_TRUE(window_->Action(kCmdMute)->isChecked());
  EXPECT_EQ(LoadAudioRouting().volume[0], 40);  // muting stores nothing

  // The slider's tooltip is the status clock at the mouse; the wheel steps.
  QSlider* slider = window_->Slider();
  EXPECT_EQ(window_->SliderTimeAt(0).toStdString(), "0:00:00");
  EXPECT_EQ(window_->SliderTimeAt(slider->width()).toStdString(),
            FormatClockText(window_->Engine()->GetTotal()));
  window_->RunCommand(kCmdPause);
  const int64_t before = window_->Engine()->GetPositionCentis();
  QWheelEvent wheel(QPointF(slider->width() / 2, 5), slider->mapToGlobal(QPointF(slider->width() / 2, 5)), {},
                    QPoint(0, 120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QApplication::sendEvent(slider, &wheel);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return std::abs(window_->Engine()->GetPositionCentis() - before - 500) <= 50; }, 5000))
      << before << " -> " << window_->Engine()->GetPositionCentis();

  // The timeline: its hover times in the same clock; collapsible, remembered.
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Timeline()->Scanned(); }, 20000));
  const QString hover = window_->Timeline()->HoverText(window_->Timeline()->XOfTime(300));
  EXPECT_TRUE(hover.startsWith("0:00:03")) << hover.toStdString();
  const int videoBottom = window_->VideoLayout().area.bottom + window_->VideoLayout().letterbox / 2;
  window_->RunCommand(kCmdCompactTimeline);
  EXPECT_EQ(window_->Timeline()->height(), kCompactTimelineHeight);
  EXPECT_EQ(ReadSetting(kCompactTimelineSetting), "On");
  EXPECT_GT(window_->VideoLayout().area.bottom + window_->VideoLayout().letterbox / 2, videoBottom);
}

}  // namespace

namespace {

TEST_F(PlayerWindowDisplayTest, MessagesStandCentredOnTheWindow) {
  SetMessageCatcher({});
  window_->resize(900, 700);
  window_->move(200, 150);
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  const QPoint centre = window_->frameGeometry().center();
  QPoint boxCentre;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeModalWidget() != nullptr; }, 5000));
    QWidget* box = QApplication::activeModalWidget();
    // Shown and settled (the window system may take a moment to move it).
    (void)QTest::qWaitFor(
        [&] {
          boxCentre = box->frameGeometry().center();
          return box->isVisible() && (boxCentre - centre).manhattanLength() <= 4;
        },
        3000);
    box->close();
  });
  ShowPlayerMessage(window_.get(), "A message");
  EXPECT_LE((boxCentre - centre).manhattanLength(), 4) << boxCentre.x() << "," << boxCentre.y();
}

}  // namespace

namespace {

TEST_F(PlayerWindowDisplayTest, QuittingWhileAClipIsExtractedAsksFirst) {
  ShowPlaying(Write("clip.avi", Cameras(320, 240, 4)), QSize(900, 700), false);
  window_->RunCommand(kCmdExtractClip);
  CVideoClipExtractDlg* clip = window_->ClipDialog();
  ASSERT_NE(clip, nullptr);
  auto* destination = qobject_cast<QLineEdit*>(clip->Control(CVideoClipExtractDlg::kDestination));
  ASSERT_NE(destination, nullptr);
  destination->setText(QString::fromStdString((dir_ / "out.avi").string()));
  clip->SetCurrentPosition(0);
  qobject_cast<QPushButton*>(clip->Control(CVideoClipExtractDlg::kSetStart))->click();
  clip->SetCurrentPosition(300);
  qobject_cast<QPushButton*>(clip->Control(CVideoClipExtractDlg::kSetEnd))->click();
  auto* extract = qobject_cast<QPushButton*>(clip->Control(CVideoClipExtractDlg::kExtract));
  ASSERT_TRUE(extract && extract->isEnabled());
  extract->click();
  // The extraction counts as running until its end reaches the window thread.
  ASSERT_TRUE(clip->IsRunning());
  int asked = 0;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000));
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->objectName(), "confirmQuit");
    ++asked;
    box->button(QMessageBox::No)->click();
  });
  window_->RunCommand(kCmdExit);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(window_->isVisible());
  // Once it is over, quitting asks nothing.
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return !window_->ClipDialog() || !window_->ClipDialog()->IsRunning(); }, 20000));
  window_->RunCommand(kCmdExit);
  EXPECT_FALSE(window_->isVisible());
}

}  // namespace
