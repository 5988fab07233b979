// The main window, offscreen, driven through its commands with real
// recordings playing through real pipelines.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/settings.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/core/window_messages.h"
#include "ui/engine_forwarder.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/video_pane.h"

namespace {

namespace fs = std::filesystem;

recgen::RecordingOptions Small(double seconds) {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.fps = 10;
  o.seconds = seconds;
  return o;
}

// Every message the window shows, read instead of clicked away.
class MessageLog {
 public:
  MessageLog() {
    SetMessageCatcher([this](const std::string& title, const std::string& text) {
      titles.push_back(title);
      texts.push_back(text);
    });
  }
  ~MessageLog() { SetMessageCatcher({}); }
  std::vector<std::string> titles, texts;
};

class PlayerWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    // The settings file is the process's: every test starts from the defaults.
    SaveAudioRouting(DefaultAudioRouting());
    WriteSetting("FastDeinterlace", "");
    // A size another test's window left behind would be where this one opens.
    WriteSetting(kWindowPlacementSetting, "");
    window_ = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
  }
  void TearDown() override { window_.reset(); }

  // Opens `path` and waits for the window to show the result.
  int Open(const fs::path& path, OpenMode mode = OpenMode::kSequences) {
    QSignalSpy finished(window_.get(), &CQMXPlayerDlg::OpenFinished);
    window_->OpenRecording(path.string(), mode);
    // The loading runs elsewhere: the window shows the please-wait text and
    // keeps answering (the wait below runs its event loop).
    auto* pleaseWait = window_->findChild<QDialog*>("pleaseWait");
    if (window_->IsOpening()) {
      EXPECT_TRUE(pleaseWait && pleaseWait->isVisible());
    }
    EXPECT_TRUE(finished.wait(30000)) << "no result for " << path;
    EXPECT_FALSE(pleaseWait && pleaseWait->isVisible());
    return finished.isEmpty() ? -1 : finished.front().front().toInt();
  }
  fs::path Sequence(int count, double seconds) {
    std::string error;
    EXPECT_TRUE(recgen::WriteSequence(dir_.path(), "Trip", count, Small(seconds), error)) << error;
    return dir_ / "Trip-001.avi";
  }
  bool Checked(int id) { return window_->Button(id)->isChecked(); }
  bool Enabled(int id) { return window_->Button(id)->isEnabled(); }
  bool ActionEnabled(int id) { return window_->Action(id)->isEnabled(); }
  // Lets the timer and queued calls run for `ms` milliseconds.
  void Run(int ms) { QTest::qWait(ms); }

  TempDir dir_;
  MessageLog messages_;
  std::unique_ptr<CQMXPlayerDlg> window_;
};

TEST_F(PlayerWindowTest, StartsEmptyWithOnlyTheOpenCommands) {
  EXPECT_EQ(window_->windowTitle().toStdString(), "QMX Player");
  EXPECT_EQ(window_->StatusLine(), "No Video Loaded");
  for (int id : {kCmdOpenFile, kCmdOpenStream, kCmdProxySettings, kCmdExit, kCmdAbout,
                 kCmdHighSpeedDeinterlace, kCmdMetadataBanner})
    EXPECT_TRUE(ActionEnabled(id)) << id;
  for (int id : {kCmdClose, kCmdPlay, kCmdPause, kCmdStop, kCmdFrameForward, kCmdTakeSnapshot, kCmdProperties,
                 kCmdConfigureAudio, kCmdStream[0], kCmdVideo[0], kCmdAllVideos, kCmdHideInterface})
    EXPECT_FALSE(ActionEnabled(id)) << id;
  EXPECT_TRUE(Enabled(kOpenButton));
  EXPECT_TRUE(Enabled(kOpenStreamButton));
  for (int id : {kPlayButton, kPauseButton, kStopButton, kQuadButton, kSnapshotButton, kSkipForwardButton})
    EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_TRUE(Checked(kStopButton));
  EXPECT_EQ(window_->Button(kPlayButton)->toolTip().toStdString(), "Play video");
  EXPECT_EQ(window_->Button(kQuadButton)->toolTip().toStdString(), "View all 4 video channels at once");
  EXPECT_EQ(window_->Action(kCmdOpenFile)->text().toStdString(), "&Open File");
  EXPECT_EQ(window_->Action(kCmdOpenFile)->shortcut(), QKeySequence("Ctrl+O"));

  window_->RunCommand(kCmdAbout);
  ASSERT_EQ(messages_.texts.size(), 1u);
  EXPECT_EQ(messages_.titles[0], "About QMX Player");
  EXPECT_NE(messages_.texts[0].find("Ctrl+O"), std::string::npos);
  EXPECT_NE(messages_.texts[0].find("Space"), std::string::npos);
  EXPECT_NE(messages_.texts[0].find("  B\tAdd Bookmark...\n"), std::string::npos) << messages_.texts[0];
}

TEST_F(PlayerWindowTest, SequencePlaysWithTitlesPicturesBannerAndSlider) {
  const fs::path first = Sequence(3, 2);
  ASSERT_EQ(Open(first), kGraphOk);
  EXPECT_EQ(window_->windowTitle().toStdString(), "QMX Player - Trip-001.avi ... Trip-003.avi");
  EXPECT_EQ(window_->StatusLine(), "Playing - Trip-001.avi ... Trip-003.avi - 320x240");
  EXPECT_TRUE(Checked(kPlayButton));
  EXPECT_TRUE(Checked(kViewButtons[0]));
  EXPECT_TRUE(window_->Action(kCmdStream[0])->isChecked());
  EXPECT_FALSE(window_->Action(kCmdStream[1])->isChecked());
  for (int id : {kCmdClose, kCmdPlay, kCmdPause, kCmdStop, kCmdProperties, kCmdConfigureAudio, kCmdAllVideos})
    EXPECT_TRUE(ActionEnabled(id)) << id;
  EXPECT_FALSE(ActionEnabled(kCmdTakeSnapshot));  // playing

  window_->show();  // panes take frames only while they can be seen
  window_->RunCommand(kQuadButton);
  EXPECT_TRUE(Checked(kQuadButton));
  EXPECT_FALSE(Checked(kViewButtons[0]));
  EXPECT_EQ(window_->StatusLine(), "Playing - Trip-001.avi ... Trip-003.avi - ");
  for (int k = 0; k < 4; ++k) {
    EXPECT_TRUE(window_->Pane(k)->isVisibleTo(window_.get())) << k;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Pane(k)->Frame().isNull(); }, 10000))
        << "!window_->Pane(k)->Frame().isNull()";
  }
  // The quad grid: four panes side by side and one above the other.
  EXPECT_EQ(window_->Pane(0)->geometry().top(), window_->Pane(1)->geometry().top());
  EXPECT_EQ(window_->Pane(0)->geometry().left(), window_->Pane(2)->geometry().left());
  EXPECT_LT(window_->Pane(0)->geometry().bottom(), window_->Pane(2)->geometry().top());

  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Slider()->value() > 50; }, 10000))
      << "window_->Slider()->value() > 50";
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->BannerLines()[3].rfind("Triggers-", 0) == 0; }, 10000))
      << "window_->BannerLines()[3].rfind(\"Triggers-\", 0) == 0";
  const auto lines = window_->BannerLines();
  EXPECT_EQ(lines[0].rfind("DVR Test DVR, Sattelites-", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("Speed-", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("Local Time-", 0), 0u) << lines[2];
  EXPECT_EQ(window_->TimeText().substr(window_->TimeText().find('/')), "/0:00:06");

  // Into the second file, and on to the end: the window stops by itself.
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->StatusLine().rfind("Stopped", 0) == 0; }, 20000))
      << "window_->StatusLine().rfind(\"Stopped\", 0) == 0";
  EXPECT_TRUE(Checked(kStopButton));
  EXPECT_TRUE(messages_.texts.empty());
}

TEST_F(PlayerWindowTest, CommandsSetStatesAndSettings) {
  ASSERT_EQ(Open(Sequence(1, 3)), kGraphOk);
  EXPECT_EQ(window_->windowTitle().toStdString(), "QMX Player - Trip-001.avi");

  struct Step {
    int command;
    std::string status;    // the status line's beginning
    int checkedButton;     // a button that must be checked afterwards
    bool snapshotEnabled;  // Take Snapshot in the menu
  };
  const std::vector<Step> steps = {
      {kCmdPause, "Paused - Trip-001.avi - 320x240", kPauseButton, true},
      {kCmdVideo[2], "Paused - Trip-001.avi - 320x240", kViewButtons[2], true},
      {kCmdAllVideos, "Paused - Trip-001.avi - ", kQuadButton, false},
      {kCmdStop, "Stopped - Trip-001.avi - ", kStopButton, false},
      {kCmdStop, "Stopped - Trip-001.avi - ", kStopButton, false},
      {kViewButtons[1], "Stopped - Trip-001.avi - 320x240", kViewButtons[1], false},
      {kPlayButton, "Playing - Trip-001.avi - 320x240", kPlayButton, false},
      {kCmdPause, "Paused - Trip-001.avi - 320x240", kPauseButton, true},
  };
  for (const Step& s : steps) {
    window_->RunCommand(s.command);
    EXPECT_EQ(window_->StatusLine(), s.status) << s.command;
    EXPECT_TRUE(Checked(s.checkedButton)) << s.command;
    EXPECT_EQ(ActionEnabled(kCmdTakeSnapshot), s.snapshotEnabled) << s.command;
  }
  // Exactly one view button stays checked, and its pane alone is shown.
  EXPECT_FALSE(Checked(kViewButtons[0]));
  EXPECT_FALSE(Checked(kQuadButton));
  EXPECT_TRUE(window_->Pane(1)->isVisibleTo(window_.get()));
  EXPECT_FALSE(window_->Pane(0)->isVisibleTo(window_.get()));

  // Stream k toggles the current view's route and stores it at once.
  window_->RunCommand(kCmdStream[2]);
  EXPECT_EQ(ReadSetting("Vid2Aud3"), "yes");
  EXPECT_TRUE(window_->Action(kCmdStream[2])->isChecked());
  window_->RunCommand(kCmdAllVideos);
  window_->RunCommand(kCmdStream[1]);
  EXPECT_EQ(ReadSetting("QuadAud2"), "no");
  EXPECT_FALSE(window_->Action(kCmdStream[1])->isChecked());

  // Deinterlacing: absent means on; the toggle stores Off, then On.
  EXPECT_TRUE(window_->Action(kCmdHighSpeedDeinterlace)->isChecked());
  window_->RunCommand(kCmdHighSpeedDeinterlace);
  EXPECT_EQ(ReadSetting("FastDeinterlace"), "Off");
  EXPECT_FALSE(window_->Action(kCmdHighSpeedDeinterlace)->isChecked());
  window_->RunCommand(kCmdHighSpeedDeinterlace);
  EXPECT_EQ(ReadSetting("FastDeinterlace"), "On");

  // Display modes.
  const struct {
    int command;
    bool overlay, banner;
  } modes[] = {{kCmdMetadataHide, false, false},
               {kCmdMetadataOverlay, true, false},
               {kCmdMetadataBoth, true, true},
               {kCmdMetadataBanner, false, true}};
  for (const auto& m : modes) {
    window_->RunCommand(m.command);
    EXPECT_EQ(window_->OverlayOn(), m.overlay) << m.command;
    EXPECT_EQ(window_->BannerOn(), m.banner) << m.command;
  }

  // Hide Interface: the bar goes, the video grows by 60 pixels, the status
  // strip shows only the file name.
  const int videoBottom = window_->VideoLayout().area.bottom + window_->VideoLayout().letterbox / 2;
  window_->RunCommand(kCmdHideInterface);
  EXPECT_EQ(window_->StatusLine(), "Trip-001.avi");
  EXPECT_FALSE(window_->Button(kPlayButton)->isVisibleTo(window_.get()));
  EXPECT_FALSE(window_->Slider()->isVisibleTo(window_.get()));
  EXPECT_TRUE(window_->Action(kCmdHideInterface)->isChecked());
  EXPECT_GT(window_->VideoLayout().area.bottom + window_->VideoLayout().letterbox / 2, videoBottom);
  window_->RunCommand(kCmdHideInterface);
  EXPECT_TRUE(window_->Button(kPlayButton)->isVisibleTo(window_.get()));

  window_->RunCommand(kCmdClose);
  EXPECT_EQ(window_->windowTitle().toStdString(), "QMX Player");
  EXPECT_EQ(window_->StatusLine(), "No Video Loaded");
  EXPECT_TRUE(Checked(kViewButtons[0]));
  for (int k = 1; k < 4; ++k) EXPECT_FALSE(window_->Pane(k)->isVisibleTo(window_.get())) << k;
  EXPECT_FALSE(ActionEnabled(kCmdPlay));
  EXPECT_FALSE(Enabled(kPlayButton));
  EXPECT_TRUE(window_->BannerLines()[0].empty());
  EXPECT_TRUE(messages_.texts.empty());
}

// A closed recording's engine goes on delivering while it is torn down
// elsewhere: nothing of it reaches the window, neither while the next
// recording plays nor once nothing is open.
TEST_F(PlayerWindowTest, NothingOfAClosedEngineReachesTheWindow) {
  ASSERT_EQ(Open(Sequence(1, 3)), kGraphOk);
  const std::shared_ptr<EngineForwarder> first = window_->EngineListener();
  ASSERT_TRUE(first);
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir_.path(), "Next", 1, Small(30), error)) << error;
  ASSERT_EQ(Open(dir_ / "Next-001.avi"), kGraphOk);
  const std::shared_ptr<EngineForwarder> second = window_->EngineListener();
  ASSERT_TRUE(second);
  ASSERT_NE(second, first);
  ASSERT_TRUE(Checked(kPlayButton));

  const auto metadata = [](EngineForwarder& way) {
    for (const char* label : {"Line1", "Line3", "GPS Sat Count", "Latitude", "Longitude", "Triggers"})
      way.OnMetadata("Meta Data Extractor 1", label, "stale");
  };
  const std::array<std::string, 4> noLines{};
  const struct {
    const char* what;
    bool closeFirst;  // delivered once nothing is open
    std::function<void()> deliver;
    std::function<bool()> untouched;
  } deliveries[] = {
      {"an error of the closed engine", false, [&] { first->OnPlaybackError(0, "stale failure"); },
       [&] { return messages_.texts.empty(); }},
      {"the end of the closed recording", false, [&] { first->OnEndOfRecording(); },
       [&] { return Checked(kPlayButton) && window_->StatusLine().rfind("Playing", 0) == 0; }},
      {"metadata of the engine closed before", true, [&] { metadata(*first); },
       [&] { return window_->BannerLines() == noLines; }},
      {"metadata of the engine just closed", true, [&] { metadata(*second); },
       [&] { return window_->BannerLines() == noLines; }},
      {"news of the engine just closed", true,
       [&] {
         second->OnPlaybackError(0, "stale failure");
         second->OnFileChanged(0);
       },
       [&] { return messages_.texts.empty(); }},
  };
  for (const auto& d : deliveries) {
    if (d.closeFirst && window_->Engine()) window_->RunCommand(kCmdClose);
    std::thread engineThread(d.deliver);
    engineThread.join();
    // Whatever was handed over is delivered now.
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(d.untouched()) << d.what;
  }
  EXPECT_TRUE(first->Retired());
  EXPECT_TRUE(second->Retired());
}

TEST_F(PlayerWindowTest, SliderSeeksOnPageAndAtTheEndOfADrag) {
  ASSERT_EQ(Open(Sequence(1, 4)), kGraphOk);
  window_->RunCommand(kCmdPause);
  const double start = window_->Engine()->GetPosition();

  window_->OnSliderScroll(SliderEvent::kPageRight, 0);
  EXPECT_NEAR(window_->Engine()->GetPosition(), int(start) + 20, 3);
  EXPECT_EQ(window_->Slider()->value(), int(window_->Engine()->GetPosition()));

  window_->OnSliderScroll(SliderEvent::kThumbTrack, 600);
  Run(400);  // the timer leaves a held slider alone; nothing seeks yet
  EXPECT_NEAR(window_->Engine()->GetPosition(), int(start) + 20, 3);
  window_->OnSliderScroll(SliderEvent::kEndScroll, 600);
  EXPECT_NEAR(window_->Engine()->GetPosition(), 600, 3);

  window_->OnSliderScroll(SliderEvent::kPageLeft, 0);
  EXPECT_NEAR(window_->Engine()->GetPosition(), 580, 3);
  Run(300);
  EXPECT_NEAR(window_->Slider()->value(), 580, 3);
}

TEST_F(PlayerWindowTest, SkipStepsWhilePausedAndScansWhilePlaying) {
  // Long enough that playing at normal speed cannot cover what one scan step jumps.
  ASSERT_EQ(Open(Sequence(1, 30)), kGraphOk);
  window_->RunCommand(kCmdPause);
  window_->Engine()->Seek(-1, 200);
  window_->RunCommand(kSkipForwardButton);
  EXPECT_EQ(window_->ScanSpeed(), 0);
  EXPECT_NEAR(double(window_->Engine()->GetPositionCentis()), 215, 2);
  window_->RunCommand(kCmdFrameBackward);
  EXPECT_NEAR(double(window_->Engine()->GetPositionCentis()), 200, 2);

  window_->RunCommand(kCmdPlay);
  const int64_t before = window_->Engine()->GetPositionCentis();
  // Speeds 1, 2 and 3, then a fourth press: the next scan step ends the scan.
  for (int expected : {1, 2, 3}) {
    window_->RunCommand(kSkipForwardButton);
    EXPECT_EQ(window_->ScanSpeed(), expected);
  }
  EXPECT_EQ(window_->StatusLine(), "Playing - Trip-001.avi - 320x240 >>>");
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Engine()->GetPositionCentis() >= before + 2000; }, 5000))
      << "window_->Engine()->GetPositionCentis() >= before + 2000";
  EXPECT_TRUE(window_->Button(kSkipForwardActiveButton)->isVisibleTo(window_.get()));
  EXPECT_FALSE(Checked(kPlayButton));
  window_->RunCommand(kSkipForwardButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return (window_->ScanSpeed()) == (0); }, 5000))
      << "(window_->ScanSpeed()) == (0)";
  ASSERT_TRUE(QTest::qWaitFor([&] { return Checked(kPlayButton); }, 5000)) << "Checked(kPlayButton)";
  EXPECT_FALSE(window_->Button(kSkipForwardActiveButton)->isVisibleTo(window_.get()));
}

// Bad recordings give the documented message, leave the window empty, and
// never stop it from answering.
TEST_F(PlayerWindowTest, BadRecordingsGiveTheirMessage) {
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir_ / "good.avi", Small(1), error)) << error;
  recgen::RecordingOptions h264 = Small(1);
  h264.h264 = true;
  ASSERT_TRUE(recgen::WriteRecording(dir_ / "coded.avi", h264, error)) << error;
  auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  };
  const struct {
    fs::path path;
    std::string message;
  } cases[] = {
      {write("empty.avi", ""), kEmptyFileMessage},
      {write("short.avi", std::string(4000, 'x')), kEmptyFileMessage},
      {write("garbage.avi", std::string(20000, 'Z')), GraphResultMessage(kGraphNotConnected)},
      {dir_ / "coded.avi", GraphResultMessage(kGraphH264)},
      {dir_ / "missing.avi", GraphResultMessage(kGraphFileUnusable, false, true)},
  };
  for (const auto& c : cases) {
    messages_.texts.clear();
    const int result = Open(c.path, OpenMode::kSingleFile);
    EXPECT_NE(result, kGraphOk) << c.path;
    ASSERT_EQ(messages_.texts.size(), 1u) << c.path;
    EXPECT_EQ(messages_.titles[0], "Varden Video Player");
    EXPECT_EQ(messages_.texts[0], c.message) << c.path;
    EXPECT_EQ(window_->StatusLine(), "No Video Loaded") << c.path;
    EXPECT_EQ(window_->Engine(), nullptr);
  }
  // The window still opens a good file afterwards.
  EXPECT_EQ(Open(dir_ / "good.avi"), kGraphOk);
}

TEST_F(PlayerWindowTest, DamagedSequencesPlayWhatCanBePlayed) {
  // A sequence whose middle file is cut short.
  const fs::path first = Sequence(3, 2);
  const fs::path middle = dir_ / "Trip-002.avi";
  fs::resize_file(middle, fs::file_size(middle) / 2);
  ASSERT_EQ(Open(first), kGraphOk);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->StatusLine().rfind("Stopped", 0) == 0; }, 20000))
      << "window_->StatusLine().rfind(\"Stopped\", 0) == 0";
  EXPECT_GT(window_->Slider()->value() + window_->Engine()->GetTotal(), 0);

  // A file that disappears while it plays.
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir_ / "gone.avi", Small(3), error)) << error;
  ASSERT_EQ(Open(dir_ / "gone.avi", OpenMode::kSingleFile), kGraphOk);
  fs::remove(dir_ / "gone.avi");
  window_->RunCommand(kCmdAllVideos);
  window_->OnSliderScroll(SliderEvent::kPageRight, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->StatusLine().rfind("Stopped", 0) == 0; }, 20000))
      << "window_->StatusLine().rfind(\"Stopped\", 0) == 0";
  window_->RunCommand(kCmdClose);
  EXPECT_EQ(window_->StatusLine(), "No Video Loaded");
}

TEST_F(PlayerWindowTest, DroppedFileOpensAndSmallWindowsHideTheBar) {
  const fs::path first = Sequence(2, 1);
  window_->show();
  const QSize initial = window_->size();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString((dir_ / "Trip-002.avi").string()))});
  QSignalSpy finished(window_.get(), &CQMXPlayerDlg::OpenFinished);
  EXPECT_TRUE(window_->OpenDropped(data));
  ASSERT_TRUE(finished.wait(30000));
  EXPECT_EQ(finished.front().front().toInt(), kGraphOk);
  // A dropped file opens as the command line does: the whole sequence.
  EXPECT_EQ(window_->windowTitle().toStdString(), "QMX Player - Trip-001.avi ... Trip-002.avi");

  // Below the initial size the bar goes and the video gets 60 more pixels.
  window_->resize(initial.width() - 100, initial.height() - 80);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Button(kPlayButton)->isVisible(); }, 5000))
      << "!window_->Button(kPlayButton)->isVisible()";
  EXPECT_FALSE(window_->Slider()->isVisible());
  EXPECT_EQ(window_->StatusLine(), "Trip-001.avi ... Trip-002.avi");
  // Video Size 1:1 of a small video never makes the window smaller than at first.
  window_->RunCommand(kCmdVideoSize1To1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Button(kPlayButton)->isVisible(); }, 5000))
      << "window_->Button(kPlayButton)->isVisible()";
  EXPECT_GE(window_->width(), initial.width() - 1);
  EXPECT_TRUE(window_->StatusLine().rfind("Playing - ", 0) == 0);
}

// Closes the modal dialog a command opens, with OK, once it shows.
void AcceptNextDialog() {
  QTimer::singleShot(0, [] {
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeModalWidget() != nullptr; }, 5000))
        << "QApplication::activeModalWidget() != nullptr";
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->accept();
  });
}

TEST_F(PlayerWindowTest, AudioDialogAppliesTheStoredRoutingAndTheBannerFollowsTheView) {
  ASSERT_EQ(Open(Sequence(1, 3)), kGraphOk);
  window_->RunCommand(kCmdPause);
  // A route stored elsewhere reaches the engine when Configure Audio ends with OK.
  WriteSetting("Vid1Aud2", "yes");
  EXPECT_FALSE(window_->Action(kCmdStream[1])->isChecked());
  AcceptNextDialog();
  window_->RunCommand(kCmdConfigureAudio);
  EXPECT_TRUE(window_->Engine()->GetAudioRoute(VideoView::Camera(0), 1));
  EXPECT_TRUE(window_->Action(kCmdStream[1])->isChecked());
  AcceptNextDialog();
  window_->RunCommand(kCmdProperties);  // shows and closes; nothing changes
  EXPECT_EQ(window_->StatusLine(), "Paused - Trip-001.avi - 320x240");

  // Only the shown channel's extractor feeds the banner; other sources always.
  window_->RunCommand(kCmdVideo[2]);
  const struct {
    const char* source;
    const char* text;
    std::string line0;
  } calls[] = {{"Meta Data Extractor 1", "one", ""},
               {"Meta Data Extractor 3", "three", "three"},
               {"Meta Data Extractor 4", "four", "three"},
               {"Live Source", "live", "live"}};
  Run(300);  // frames of the re-seek have passed
  for (const auto& c : calls) {
    std::thread streaming([&] { window_->OnMetadata(c.source, "Line1", c.text); });
    streaming.join();
    if (c.line0.empty()) {
      EXPECT_NE(window_->BannerLines()[0], c.text) << c.source;
    } else {
      EXPECT_EQ(window_->BannerLines()[0], c.line0) << c.source;
    }
  }
  std::thread streaming([&] { window_->OnMetadata("Meta Data Extractor 3", "Line4", "T\x8f\x11x"); });
  streaming.join();
  EXPECT_EQ(window_->BannerLines()[3], "T\xb0 x");
}

TEST(PlayerCommandLine, HelpListsEveryMode) {
  int status = -1;
  const std::string out = RunCommand(std::string(QMX_APP_DIR) + "/qmxplayer --help", &status);
  EXPECT_EQ(status, 0);
  for (const char* mode : {"--info", "--export-metadata", "--snapshot", "[RECORDING.avi]"})
    EXPECT_NE(out.find(mode), std::string::npos) << mode;
}

TEST(PlayerCommandLine, InstallPutsTheDesktopEntryAndIconInPlace) {
  TempDir prefix;
  int status = -1;
  RunCommand("cmake --install " + ShellQuote(QMX_BUILD_ROOT) + " --prefix " +
                 ShellQuote(prefix.path().string()) + " >/dev/null",
             &status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(fs::exists(prefix / "bin/qmxplayer"));
  EXPECT_TRUE(fs::exists(prefix / "share/icons/hicolor/scalable/apps/qmxplayer.svg"));
  std::ifstream desktop(prefix / "share/applications/qmxplayer.desktop");
  const std::string entry((std::istreambuf_iterator<char>(desktop)), std::istreambuf_iterator<char>());
  for (const char* line : {"Exec=qmxplayer %f", "Icon=qmxplayer", "MimeType=video/x-msvideo;"})
    EXPECT_NE(entry.find(line), std::string::npos) << line;
}

}  // namespace
