// The extraction and conversion dialogs, offscreen, on real recordings: their
// controls, the Extract rule, runs, cancels and messages, and the main
// window's toggle.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <chrono>
#include <future>

#include "avi/avi_reader.h"
#include "clip/two_channel_conversion.h"
#include "clip_fixtures.h"
#include "recording_writer.h"
#include "temp_dir.h"
#include "ui/clip_extract_dialog.h"
#include "ui/convert_dialog.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/message_box.h"
#include "ui/player_window.h"

namespace {

namespace fs = std::filesystem;
using Dlg = CVideoClipExtractDlg;

class MessageLog {
 public:
  MessageLog() {
    SetMessageCatcher([this](const std::string&, const std::string& text) { texts.push_back(text); });
  }
  ~MessageLog() { SetMessageCatcher({}); }
  std::vector<std::string> texts;
};

QCheckBox* Box(Dlg& d, int camera) {
  return static_cast<QCheckBox*>(d.Control(Dlg::kCameraBoxes[std::size_t(camera)]));
}
QPushButton* Button(QWidget* w) {
  return static_cast<QPushButton*>(w);
}
std::string FieldText(QWidget* w) {
  return static_cast<QLineEdit*>(w)->text().toStdString();
}

class ClipDialogTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    recgen::RecordingOptions o = cliptest::SmallOptions(3, 10);
    run_ = cliptest::WriteRun(dir_->path(), "Trip", 2, o);
    o.seconds = 120;
    longRun_ = cliptest::WriteRun(dir_->path(), "Long", 1, o);
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::vector<clip::ClipSourceFile> Files(const std::vector<std::string>& run) {
    return clip::ListTimelineFiles(run[0]);
  }
  std::unique_ptr<Dlg> Make(const std::vector<std::string>& run, int64_t position = 0) {
    return std::make_unique<Dlg>(Files(run), position, true, std::vector<std::string>(11, "T"), "Van");
  }
  // Marks start and end as a user would, from pushed play positions.
  void Mark(Dlg& d, int64_t from, int64_t to, const fs::path& destination) {
    d.SetCurrentPosition(from);
    Button(d.Control(Dlg::kSetStart))->click();
    d.SetCurrentPosition(to);
    Button(d.Control(Dlg::kSetEnd))->click();
    static_cast<QLineEdit*>(d.Control(Dlg::kDestination))
        ->setText(QString::fromStdString(destination.string()));
  }

  static TempDir* dir_;
  static std::vector<std::string> run_, longRun_;
  TempDir out_;
  MessageLog messages_;
};
TempDir* ClipDialogTest::dir_ = nullptr;
std::vector<std::string> ClipDialogTest::run_, ClipDialogTest::longRun_;

TEST_F(ClipDialogTest, OffersTheCamerasTheRecordingHas) {
  // Each camera by its own number: camera 3 of a recording without camera 2.
  recgen::RecordingOptions o = cliptest::SmallOptions(1, 10);
  o.video = o.audio = {true, false, true, false};
  const std::vector<std::string> noCameraTwo = cliptest::WriteRun(out_.path(), "Gap", 1, o);
  const struct {
    std::vector<std::string> run;
    bool fourChannel;
    std::array<bool, 4> offered;
  } rows[] = {{run_, true, {true, true, true, true}},
              {noCameraTwo, true, {true, false, true, false}},
              {run_, false, {true, false, false, false}}};
  for (const auto& row : rows) {
    Dlg d(Files(row.run), 6000, row.fourChannel, {}, "");
    EXPECT_EQ(d.windowTitle().toStdString(), "Video Clip Extraction");
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(Box(d, c)->isEnabled(), row.offered[std::size_t(c)]) << c;
      EXPECT_EQ(Box(d, c)->isChecked(), row.offered[std::size_t(c)]) << c;
      EXPECT_EQ(Box(d, c)->text().toStdString(), "Camera " + std::to_string(c + 1));
    }
    EXPECT_EQ(FieldText(d.Control(Dlg::kStartField)), "Not Set...");
    EXPECT_EQ(FieldText(d.Control(Dlg::kEndField)), "Not Set...");
    EXPECT_EQ(FieldText(d.Control(Dlg::kCurrentField)), "0:01:00");
    EXPECT_FALSE(d.Control(Dlg::kExtract)->isEnabled());
    EXPECT_FALSE(d.Control(Dlg::kProgress)->isEnabled());
  }
}

TEST_F(ClipDialogTest, ExtractNeedsACameraBothMarksAndADestination) {
  auto d = Make(run_);
  auto* destination = static_cast<QLineEdit*>(d->Control(Dlg::kDestination));
  const struct {
    std::function<void()> step;
    bool enabled;
  } steps[] = {
      {[&] { QTest::keyClicks(destination, "x.avi"); }, false},
      {[&] { d->SetCurrentPosition(360000), Button(d->Control(Dlg::kSetStart))->click(); }, false},
      {[&] { d->SetCurrentPosition(100), Button(d->Control(Dlg::kSetEnd))->click(); }, true},  // not compared
      {[&] {
         for (int c = 0; c < 4; ++c) Box(*d, c)->click();
       },
       false},
      {[&] { Box(*d, 1)->click(); }, true},
      {[&] { destination->clear(); }, false},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    steps[i].step();
    EXPECT_EQ(d->Control(Dlg::kExtract)->isEnabled(), steps[i].enabled) << "step " << i;
  }
  EXPECT_EQ(FieldText(d->Control(Dlg::kStartField)), "1:00:00");
  EXPECT_EQ(FieldText(d->Control(Dlg::kEndField)), "0:00:01");
}

struct RunCase {
  const char* name;
  int64_t from, to;
  bool longRecording;
  bool cancel;
  const char* destination;  // relative to the output folder; "" for a missing folder
  std::vector<std::string> files;
  std::string message;  // the start of the one message, "" for none
};

class ClipDialogRuns : public ClipDialogTest, public testing::WithParamInterface<RunCase> {};

TEST_P(ClipDialogRuns, EndsClosedWithItsMessage) {
  const RunCase& c = GetParam();
  auto d = Make(c.longRecording ? longRun_ : run_);
  d->show();
  const fs::path destination = *c.destination ? out_ / c.destination : out_ / "missing" / "c.avi";
  Mark(*d, c.from, c.to, destination);
  QSignalSpy ended(d.get(), &Dlg::ExtractionEnded);
  auto* extract = Button(d->Control(Dlg::kExtract));
  extract->click();
  EXPECT_EQ(extract->text().toStdString(), "Cancel");
  EXPECT_FALSE(d->Control(Dlg::kDestination)->isEnabled());
  EXPECT_FALSE(Box(*d, 0)->isEnabled());
  EXPECT_TRUE(d->Control(Dlg::kProgress)->isEnabled());
  if (c.cancel) extract->click();
  // A cancel takes effect within a second.
  ASSERT_TRUE(ended.wait(c.cancel ? 1000 : 30000));
  EXPECT_FALSE(d->IsOpen());
  EXPECT_FALSE(d->isVisible());
  ASSERT_EQ(messages_.texts.size(), c.message.empty() ? 0u : 1u);
  if (!c.message.empty()) {
    EXPECT_EQ(messages_.texts[0].substr(0, c.message.size()), c.message);
  }
  EXPECT_EQ(cliptest::Listing(out_.path()), c.files);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ClipDialogRuns,
    testing::Values(RunCase{"Extracts", 150, 450, false, false, "c.avi", {"c.avi"}, ""},
                    RunCase{"EndBeforeStartDoesNothing", 300, 100, false, false, "c.avi", {}, ""},
                    // At 10 fps, 1.51 s to 1.59 s lies between two frames.
                    RunCase{"RangeWithoutAFrameIsRefused",
                            151,
                            159,
                            false,
                            false,
                            "c.avi",
                            {},
                            "The marked range holds no frame of camera 1."},
                    RunCase{"CancelStopsAtOnce", 0, 12000, true, true, "c.avi", {}, "Extraction Cancelled"},
                    RunCase{
                        "MissingFolderIsReported", 0, 100, false, false, "", {}, "Unable to mux the videos"}),
    [](const auto& info) { return std::string(info.param.name); });

// The owner may destroy the dialog in the middle of a run: the run stops,
// nothing half-written stays, no message comes afterwards.
TEST_F(ClipDialogTest, DestroyedWhileRunningLeavesNothingBehind) {
  auto d = Make(longRun_);
  d->show();
  Mark(*d, 0, 12000, out_ / "c.avi");
  // The worker is held at its first progress report, once the first frames
  // are written, and let go just before the dialog is destroyed: the rest of
  // the long range is still to copy when the destruction cancels the run.
  std::promise<void> held, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> first{true};
  d->SetProgressHook([&, released](const std::atomic<bool>&) {
    if (!first.exchange(false)) return;
    held.set_value();
    released.wait_for(std::chrono::seconds(60));
  });
  Button(d->Control(Dlg::kExtract))->click();
  EXPECT_TRUE(d->IsRunning());
  ASSERT_EQ(held.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
  // In the middle: the clip is being written under a temporary name.
  const std::vector<std::string> seen = cliptest::Listing(out_.path());
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_NE(seen[0], "c.avi");
  EXPECT_TRUE(d->IsRunning());
  release.set_value();
  d.reset();
  // The worker was joined: an outcome it queued is in the queue now.
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(messages_.texts.empty());
  const std::vector<std::string> left = cliptest::Listing(out_.path());
  EXPECT_TRUE(left.empty()) << left.front();
}

TEST_F(ClipDialogTest, TheWindowTogglesItAndFeedsItThePosition) {
  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  window.RunCommand(kCmdExtractClip);  // nothing open: no dialog
  EXPECT_EQ(window.ClipDialog(), nullptr);
  EXPECT_FALSE(window.Button(kClipButton)->isChecked());
  QSignalSpy finished(&window, &CQMXPlayerDlg::OpenFinished);
  window.OpenRecording(run_[0]);
  ASSERT_TRUE(finished.wait(30000));

  const struct {
    std::function<void()> step;
    bool exists;
  } steps[] = {
      {[&] { window.RunCommand(kCmdExtractClip); }, true},
      {[&] { window.RunCommand(kClipButton); }, false},
      {[&] { window.RunCommand(kClipButton); }, true},
      {[&] { window.ClipDialog()->close(), window.OnTick(); }, false},  // closed: the next tick destroys it
      {[&] { window.RunCommand(kCmdExtractClip); }, true},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    steps[i].step();
    EXPECT_EQ(window.ClipDialog() != nullptr, steps[i].exists) << "step " << i;
    EXPECT_EQ(window.Button(kClipButton)->isChecked(), steps[i].exists) << "step " << i;
    if (window.ClipDialog()) {
      EXPECT_TRUE(window.ClipDialog()->isVisible());
    }
  }
  window.RunCommand(kCmdPlay);
  QTest::qWait(600);
  window.OnTick();
  EXPECT_NE(FieldText(window.ClipDialog()->Control(Dlg::kCurrentField)), "");
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(Box(*window.ClipDialog(), c)->isChecked());
  ASSERT_NE(window.Action(kCmdConvert), nullptr);
  EXPECT_TRUE(window.Action(kCmdConvert)->isEnabled());
}

// Conversion: the queue's rules, a converted file, a cancelled one.
class ConvertDialogTest : public testing::Test {
 protected:
  fs::path Write(const std::string& name, int kind, bool header380, double seconds = 2) {
    recgen::RecordingOptions o = cliptest::SmallOptions(seconds, 10);
    o.kind = kind;
    o.header380 = header380;
    std::string error;
    EXPECT_TRUE(recgen::WriteRecording(dir_ / name, o, error)) << error;
    return dir_ / name;
  }
  static QListWidget* List(CConvertDlg& d, int id) { return static_cast<QListWidget*>(d.Control(id)); }
  static std::vector<std::string> Items(QListWidget* list) {
    std::vector<std::string> items;
    for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
    return items;
  }
  TempDir dir_;
  MessageLog messages_;
};

TEST_F(ConvertDialogTest, QueuesOnlyOriginalTwoChannelFilesOnce) {
  const fs::path a = Write("a.avi", 1, true), b = Write("b.avi", 2, true), four = Write("four.avi", 0, false);
  std::string upper = a.string();
  upper.replace(upper.size() - 5, 1, "A");
  CConvertDlg d(nullptr, {a.string(), four.string(), b.string()});
  EXPECT_EQ(d.windowTitle().toStdString(), "File Conversion");
  EXPECT_EQ(Items(List(d, CConvertDlg::kQueue)), (std::vector<std::string>{a.string(), b.string()}));
  ASSERT_EQ(messages_.texts.size(), 1u);
  EXPECT_EQ(messages_.texts[0], four.string() +
                                    " is not an original 2 channel file, or it can't be opened. It "
                                    "will not be queued for conversion");
  d.AddPaths({a.string(), upper});  // the same path, in any letter case: queued once, no message
  EXPECT_EQ(List(d, CConvertDlg::kQueue)->count(), 2);
  EXPECT_EQ(messages_.texts.size(), 1u);
  EXPECT_FALSE(d.Control(CConvertDlg::kRemove)->isEnabled());
  List(d, CConvertDlg::kQueue)->item(0)->setSelected(true);
  EXPECT_TRUE(d.Control(CConvertDlg::kRemove)->isEnabled());
  static_cast<QPushButton*>(d.Control(CConvertDlg::kRemove))->click();
  EXPECT_EQ(Items(List(d, CConvertDlg::kQueue)), std::vector<std::string>{b.string()});
  EXPECT_FALSE(d.Control(CConvertDlg::kRemove)->isEnabled());

  CConvertDlg empty;
  static_cast<QPushButton*>(empty.Control(CConvertDlg::kConvert))->click();
  EXPECT_EQ(messages_.texts.back(), "Nothing to Convert");
}

TEST_F(ConvertDialogTest, ConvertsTheQueueOrLeavesACancelledFileAsItWas) {
  for (const bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancelled" : "converted");
    const fs::path file = Write(cancel ? "c.avi" : "k.avi", 1, true, cancel ? 60 : 2);
    const std::string before = cliptest::FileMd5(file.string());
    const auto video = cliptest::Chunks(file.string(), 0), audio = cliptest::Chunks(file.string(), 1);
    CConvertDlg::SetConfirmationForTesting([](const std::string& q) {
      EXPECT_EQ(q, "Are you sure you want to cancel conversion?");
      return true;
    });
    CConvertDlg d(nullptr, {file.string()});
    QSignalSpy ended(&d, &CConvertDlg::ConversionEnded);
    auto* convert = static_cast<QPushButton*>(d.Control(CConvertDlg::kConvert));
    convert->click();
    EXPECT_EQ(convert->text().toStdString(), "Cancel");
    if (cancel) convert->click();
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(ended.front().front().toBool(), cancel);
    CConvertDlg::SetConfirmationForTesting({});
    EXPECT_EQ(Items(List(d, CConvertDlg::kHandled)), std::vector<std::string>{file.string()});
    EXPECT_TRUE(messages_.texts.empty());
    EXPECT_EQ(cliptest::Listing(dir_.path()).size(), cancel ? 2u : 1u) << "no temporary file left";
    if (cancel) {
      EXPECT_EQ(cliptest::FileMd5(file.string()), before);
      continue;
    }
    EXPECT_NE(cliptest::FileMd5(file.string()), before);
    EXPECT_FALSE(clip::IsOriginalTwoChannel(file.string()));
    avi::AviReader r;
    ASSERT_TRUE(r.Open(file.string())) << r.Error();
    EXPECT_EQ(r.StreamCount(), 2u);
    EXPECT_EQ(cliptest::Chunks(file.string(), 0), video);
    EXPECT_EQ(cliptest::Chunks(file.string(), 1), audio);
    EXPECT_EQ(static_cast<QProgressBar*>(d.Control(CConvertDlg::kFileProgress))->value(), 1000);
    EXPECT_EQ(static_cast<QProgressBar*>(d.Control(CConvertDlg::kTotalProgress))->value(), 1);
  }
}

}  // namespace
