// Take Snapshot from the window, offscreen, on a generated recording: the
// JPEG it writes is the frame shown, and a path that can't be written gets
// the message.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "frame_mark.h"
#include "recording_writer.h"
#include "snapshot/jpeg_file.h"
#include "temp_dir.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/core/window_messages.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/save_file_chooser.h"
#include "ui/video_pane.h"

namespace {

namespace fs = std::filesystem;

// The frame number the generator drew into a top-down picture, -1 when it
// can't be read.
int64_t FrameNumberOf(const QImage& image) {
  if (image.isNull()) return -1;
  const QImage bgrx = image.convertToFormat(QImage::Format_RGB32);
  return DecodeFrameNumber(bgrx.constBits(), bgrx.width(), bgrx.height(), int(bgrx.bytesPerLine()));
}

int64_t FrameNumberOfJpeg(const fs::path& path, int& width, int& height) {
  std::unique_ptr<uint8_t[]> rgb = ReadJpegFile(path.c_str(), width, height);
  if (!rgb) return -2;
  std::vector<uint8_t> bgrx(size_t(width) * size_t(height) * 4);
  for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
    bgrx[i * 4] = rgb[i * 3 + 2];
    bgrx[i * 4 + 1] = rgb[i * 3 + 1];
    bgrx[i * 4 + 2] = rgb[i * 3];
  }
  return DecodeFrameNumber(bgrx.data(), width, height, width * 4);
}

TEST(PlayerWindowSnapshot, SavesTheFrameOfTheChannelShownAsAJpeg) {
  TempDir dir;
  SaveAudioRouting(DefaultAudioRouting());
  std::vector<std::string> messages;
  SetMessageCatcher([&](const std::string&, const std::string& text) { messages.push_back(text); });
  recgen::RecordingOptions o;
  o.width = 360;
  o.height = 288;
  o.fps = 10;
  o.seconds = 3;
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", 1, o, error)) << error;

  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  window.show();  // panes take frames while they are shown
  QSignalSpy finished(&window, &CQMXPlayerDlg::OpenFinished);
  window.OpenRecording((dir / "Trip-001.avi").string());
  ASSERT_TRUE(finished.wait(30000));
  ASSERT_EQ(finished.front().front().toInt(), kGraphOk);
  // Playing: the pictures move on channel 2's pane.
  window.RunCommand(kViewButtons[1]);
  ASSERT_TRUE(QTest::qWaitFor([&] { return FrameNumberOf(window.Pane(1)->Frame()) > 2; }, 15000))
      << FrameNumberOf(window.Pane(1)->Frame());
  window.RunCommand(kCmdPause);
  window.Engine()->Seek(-1, 120);
  ASSERT_TRUE(QTest::qWaitFor([&] { return FrameNumberOf(window.Pane(1)->Frame()) == 12; }, 15000))
      << FrameNumberOf(window.Pane(1)->Frame());

  // A path under a plain file: nobody, root included, can create it.
  std::ofstream(dir / "plain") << "x";
  const fs::path unwritable = dir / "plain" / "shot.jpg";

  struct Row {
    const char* what;
    int view;        // command that picks the view
    QString answer;  // what the user types, empty: cancel
    fs::path saved;  // the file that must appear, empty: none
    bool dialog;     // a save dialog is shown
    bool message;    // the error message is shown
  } rows[] = {
      {"named file", kCmdVideo[1], QString::fromStdString((dir / "shot.jpg").string()), dir / "shot.jpg",
       true, false},
      {"cancelled", kCmdVideo[1], QString(), fs::path(), true, false},
      {"folder not writable", kCmdVideo[1], QString::fromStdString(unwritable.string()), fs::path(), true,
       true},
      {"all channels shown", kCmdAllVideos, QString::fromStdString((dir / "quad.jpg").string()), fs::path(),
       false, false},
  };
  for (const Row& r : rows) {
    messages.clear();
    window.RunCommand(r.view);
    // A view change shows its frame again; the snapshot is of the frame shown.
    ASSERT_TRUE(window.Engine()->WaitTransport(std::chrono::seconds(20))) << r.what;
    const size_t before = std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
    int asked = 0;
    SetSaveFileAnswerer([&]() -> std::optional<std::string> {
      ++asked;
      if (r.answer.isEmpty()) return std::nullopt;
      return r.answer.toStdString();
    });
    window.RunCommand(kCmdTakeSnapshot);
    SetSaveFileAnswerer({});
    EXPECT_EQ(asked, r.dialog ? 1 : 0) << r.what;
    if (r.message) {
      EXPECT_EQ(messages, std::vector<std::string>{kSnapshotErrorMessage}) << r.what;
    } else {
      EXPECT_TRUE(messages.empty()) << r.what << ": " << (messages.empty() ? "" : messages.front());
    }
    if (r.saved.empty()) {
      EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
                ptrdiff_t(before))
          << r.what << ": no file written";
      continue;
    }
    int width = 0, height = 0;
    EXPECT_EQ(FrameNumberOfJpeg(r.saved, width, height), 12) << r.what << ": the frame shown is saved";
    EXPECT_EQ(width, 360) << r.what;
    EXPECT_EQ(height, 288) << r.what;
  }
  EXPECT_FALSE(fs::exists(unwritable));
  SetMessageCatcher({});
}

}  // namespace
