// Panes smaller than the picture are fed pictures decoded at the size they
// show them, painted as they come, while a snapshot still holds the
// recorded frame: offscreen, a generated 720x480 four-camera recording
// playing through the real pipelines, the snapshot compared byte for byte
// with what the headless snapshot mode writes.
#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/settings.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/video_pane.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a pane showing `shown` pixels of a `picture` is given: the shown
// size where it is smaller, never less.
QSize Wanted(QSize picture, QSize shown) {
  return shown.boundedTo(picture);
}

}  // namespace

TEST(PlayerWindowReducedDecode, SmallPanesGetReducedPicturesAndSnapshotsTheRecordedFrame) {
  SaveAudioRouting(DefaultAudioRouting());
  std::vector<std::string> messages;
  SetMessageCatcher([&](const std::string&, const std::string& text) { messages.push_back(text); });
  TempDir dir;
  recgen::RecordingOptions o;  // 720x480, four cameras, 30 fps
  o.seconds = 20;
  o.audio = {false, false, false, false};
  std::string error;
  const fs::path file = dir / "quad.avi";
  ASSERT_TRUE(recgen::WriteRecording(file, o, error)) << error;

  struct Row {
    int width, height;  // the window's
    bool quad;
    bool reduced;  // the pictures the pane is given are smaller than recorded
  } rows[] = {
      {1045, 860, false, false},
      {1045, 860, true, true},  // the default window: its quad's pictures at about half their size
      {700, 593, true, true},
  };
  int64_t at = 300;
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.width) + "x" + std::to_string(r.height) + (r.quad ? " quad" : ""));
    auto window = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
    window->resize(r.width, r.height);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QSignalSpy finished(window.get(), &CQMXPlayerDlg::OpenFinished);
    window->OpenRecording(file.string());
    ASSERT_TRUE(finished.wait(30000));
    ASSERT_EQ(finished.front().front().toInt(), kGraphOk);
    if (r.quad) window->RunCommand(kCmdAllVideos);
    VideoPane* pane = window->Pane(0);
    // Played on, the pane takes pictures of the size its picture needs.
    QSize want;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          if (pane->Frame().isNull()) return false;
          want = Wanted(QSize(720, 480), pane->PictureRect().size() * pane->devicePixelRatioF());
          return pane->Frame().size() == want;
        },
        20000))
        << pane->Frame().width() << "x" << pane->Frame().height() << " for a picture of "
        << pane->PictureRect().width() << "x" << pane->PictureRect().height();
    EXPECT_EQ(want != QSize(720, 480), r.reduced);
    // Shown as it came, no second scaling: the pane paints the frame itself.
    if (r.reduced) {
      EXPECT_EQ(pane->Scaled().constBits(), pane->Frame().constBits());
    }
    // Paused on a frame, that frame is the snapshot, at the recorded size,
    // exactly what the snapshot mode writes for the same frame.
    window->RunCommand(kCmdPause);
    PlaybackEngine* e = window->Engine();
    e->Seek(-1, at);
    int64_t frame = -1, count = 0, ns = 0;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return e->ShownFrame(0, frame, count, ns) && frame == at * 30 / 100; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->Frame().size() == want; }, 10000));
    const fs::path shot = dir / ("shot" + std::to_string(at) + ".jpg");
    const fs::path reference = dir / ("reference" + std::to_string(at) + ".jpg");
    ASSERT_TRUE(e->TakeSnapshot(0, shot.string()));
    int status = -1;
    RunCommand(std::string(QMX_APP_DIR) + "/qmxplayer --snapshot " + file.string() + " --at " +
                   std::to_string(at) + " --channel 1 --out " + reference.string(),
               &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(QImage(QString::fromStdString(shot.string())).size(), QSize(720, 480));
    EXPECT_TRUE(ReadAll(shot) == ReadAll(reference));
    // Zoomed in while paused, the pane draws from the recorded frame at once,
    // never from an enlarged reduced one: the frame the window's snapshot is.
    pane->SetZoom({2.0, 0.5, 0.5});
    EXPECT_EQ(pane->Frame().size(), QSize(720, 480));
    std::vector<uint8_t> rgb;
    int width = 0, rows = 0;
    ASSERT_TRUE(e->SnapshotImage(0, rgb, width, rows));
    if (r.reduced) {
      EXPECT_EQ(QImage(rgb.data(), width, rows, width * 3, QImage::Format_RGB888),
                pane->Frame().convertToFormat(QImage::Format_RGB888));
    }
    pane->ResetZoom();
    at += 100;
    window.reset();
    WriteSetting(kWindowPlacementSetting, "");  // the next window opens where the others do
  }
  EXPECT_TRUE(messages.empty());
  SetMessageCatcher({});
}
