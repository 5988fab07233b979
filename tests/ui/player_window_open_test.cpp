// Opening what is not a recording, and closing what is, through the real
// window, its real message boxes and real pipelines.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/titles.h"
#include "engine/pipeline/graph_result.h"
#include "recording_writer.h"
#include "temp_dir.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/core/window_messages.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/video_pane.h"

namespace {

namespace fs = std::filesystem;

// The message boxes the window shows, read as a user reads them and closed
// with their OK button.
class BoxReader {
 public:
  struct Box {
    std::string title, text, detail;
  };
  BoxReader() : previous_(SetMessageCatcher({})) {
    poll_.setInterval(5);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      boxes.push_back(
          {box->windowTitle().toStdString(), box->text().toStdString(), box->detailedText().toStdString()});
      box->button(QMessageBox::Ok)->click();
    });
    poll_.start();
  }
  ~BoxReader() { SetMessageCatcher(std::move(previous_)); }
  std::vector<Box> boxes;

 private:
  MessageCatcher previous_;
  QTimer poll_;
};

// Keeps every core busy at the lowest priority while it lives.
class MachineLoad {
 public:
  MachineLoad() {
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
      hogs_.emplace_back([this] {
        setpriority(PRIO_PROCESS, gettid(), 19);
        volatile uint64_t x = 0;
        while (!stop_) x = x + 1;
      });
  }
  ~MachineLoad() {
    stop_ = true;
    for (std::thread& t : hogs_) t.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> hogs_;
};

recgen::RecordingOptions Cameras(double seconds, int fps) {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.fps = fps;
  o.seconds = seconds;
  return o;
}

class PlayerWindowOpenTest : public testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
  }
  void TearDown() override { window_.reset(); }

  // Opens `path` and waits for the window to show the result; -1 without one.
  int Open(const fs::path& path, OpenMode mode = OpenMode::kSingleFile) {
    QSignalSpy finished(window_.get(), &CQMXPlayerDlg::OpenFinished);
    window_->OpenRecording(path.string(), mode);
    if (!finished.wait(30000)) return -1;
    return finished.front().front().toInt();
  }
  fs::path Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return dir_ / name;
  }
  std::string Title() const { return window_->windowTitle().toStdString(); }

  TempDir dir_;
  std::unique_ptr<CQMXPlayerDlg> window_;
};

// A failed open keeps the player's own message, tells the real cause as the
// box's detail, and leaves the window as if nothing had been opened.
TEST_F(PlayerWindowOpenTest, FailedOpensKeepTheirMessageAndTellTheCause) {
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir_ / "good.avi", Cameras(1, 10), error)) << error;
  fs::create_directory(dir_ / "folder.avi");
  const std::string noFile = GraphResultMessage(kGraphFileUnusable, false, true);
  const struct {
    fs::path path;
    std::string message, cause;
  } cases[] = {
      {dir_ / "missing.avi", noFile, "missing.avi: No such file or directory"},
      {dir_ / "folder.avi", noFile, "folder.avi: is a folder, not a file"},
      {Write("empty.avi", ""), kEmptyFileMessage, "empty.avi: 0 bytes, too short to be a recording"},
      {Write("short.avi", std::string(4000, 'x')), kEmptyFileMessage, "short.avi: 4000 bytes"},
      {Write("garbage.avi", std::string(20000, 'Z')), GraphResultMessage(kGraphNotConnected),
       "garbage.avi: not an AVI file (no RIFF header)"},
      {Write("wave.avi", std::string("RIFF\x10\x4e\0\0WAVE", 12) + std::string(20000, '\0')),
       GraphResultMessage(kGraphNotConnected), "wave.avi: a RIFF file of type 'WAVE', not an AVI"},
  };
  BoxReader reader;
  for (const auto& c : cases) {
    // A recording is open when the failing one is asked for.
    ASSERT_EQ(Open(dir_ / "good.avi"), kGraphOk);
    ASSERT_EQ(Title(), "QMX Player - good.avi");
    reader.boxes.clear();
    EXPECT_NE(Open(c.path), kGraphOk) << c.path;
    ASSERT_EQ(reader.boxes.size(), 1u) << c.path;
    EXPECT_EQ(reader.boxes[0].title, "Varden Video Player");
    EXPECT_EQ(reader.boxes[0].text, c.message) << c.path;
    EXPECT_EQ(reader.boxes[0].detail.rfind((dir_ / "").string(), 0), 0u) << reader.boxes[0].detail;
    EXPECT_NE(reader.boxes[0].detail.find(c.cause), std::string::npos) << reader.boxes[0].detail;
    EXPECT_EQ(Title(), MainWindowTitle("QMX")) << c.path;
    EXPECT_EQ(window_->StatusLine(), "No Video Loaded") << c.path;
    EXPECT_EQ(window_->Engine(), nullptr);
  }
}

// Garbage, cut-short and damaged files, opened one after another while every
// core is busy, each give one message and never bring the window down; a
// good recording still plays afterwards.
TEST_F(PlayerWindowOpenTest, GarbageAndCutShortFilesUnderLoadNeverCrash) {
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir_ / "good.avi", Cameras(2, 10), error)) << error;
  std::ifstream in(dir_ / "good.avi", std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), {});
  std::mt19937 random(18);
  auto noise = [&](size_t size) {
    std::string bytes(size, '\0');
    for (char& b : bytes) b = char(random());
    return bytes;
  };
  std::vector<fs::path> files;
  for (size_t size : {4001u, 4096u, 65536u, 1u << 20}) {
    files.push_back(Write("noise-" + std::to_string(size) + ".avi", noise(size)));
    files.push_back(Write("riff-" + std::to_string(size) + ".avi", good.substr(0, 12) + noise(size)));
  }
  for (int cut = 1; cut < 16; ++cut)
    files.push_back(Write("cut-" + std::to_string(cut) + ".avi", good.substr(0, good.size() * cut / 16)));
  for (int k = 0; k < 6; ++k) {
    std::string damaged = good;
    const size_t from = damaged.size() * size_t(k + 1) / 8;
    const std::string hole = noise(4096);
    damaged.replace(from, hole.size(), hole);
    files.push_back(Write("damaged-" + std::to_string(k) + ".avi", damaged));
  }

  BoxReader reader;
  const MachineLoad load;
  window_->show();
  for (int round = 0; round < 2; ++round)
    for (const fs::path& f : files) {
      // Every other open replaces a recording that is playing.
      if (round == 1) {
        ASSERT_EQ(Open(dir_ / "good.avi"), kGraphOk);
      }
      reader.boxes.clear();
      const int result = Open(f);
      ASSERT_NE(result, -1) << "no result for " << f;
      if (result != kGraphOk) {
        EXPECT_EQ(reader.boxes.size(), 1u) << f;
      }
    }
  EXPECT_EQ(Open(dir_ / "good.avi"), kGraphOk);
}

// Once Close returns, no picture of the closed recording reaches a pane, not
// even one its pipelines deliver while they are torn down elsewhere.
TEST_F(PlayerWindowOpenTest, ClosedRecordingNeverShowsAgain) {
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir_ / "trip.avi", Cameras(10, 30), error)) << error;
  window_->show();
  BoxReader reader;
  for (int round = 0; round < 10; ++round) {
    ASSERT_EQ(Open(dir_ / "trip.avi"), kGraphOk);
    window_->RunCommand(kCmdAllVideos);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Pane(3)->Frame().isNull(); }, 10000));
    // Closed at a different moment of the frames' coming each round: after
    // `round` more pictures have reached the pane.
    int changes = 0;
    qint64 key = window_->Pane(3)->Frame().cacheKey();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          const qint64 now = window_->Pane(3)->Frame().cacheKey();
          if (now != key) key = now, ++changes;
          return changes >= round;
        },
        10000));
    window_->RunCommand(kCmdClose);
    auto anyFrame = [&] {
      for (int k = 0; k < 4; ++k)
        if (!window_->Pane(k)->Frame().isNull()) return true;
      return false;
    };
    EXPECT_FALSE(anyFrame());
    // Until the closed engine is gone, and a moment after for a batch on its way.
    bool shown = false;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          shown = shown || anyFrame();
          return window_->EnginesClosing() == 0;
        },
        10000));
    EXPECT_FALSE(shown || QTest::qWaitFor(anyFrame, 100)) << "round " << round;
    EXPECT_EQ(window_->StatusLine(), "No Video Loaded");
  }
  EXPECT_TRUE(reader.boxes.empty());
}

}  // namespace
