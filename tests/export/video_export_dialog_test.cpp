// File > Export Video... through the real window, offscreen, on a generated
// recording: the dialog takes the cameras and range chosen, shows progress,
// writes an MP4 other programs read, burns in the overlay the window shows
// for the same frame, and Cancel part way leaves nothing behind.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <iostream>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "export_dialog_driver.h"
#include "frame_mark.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/player_window.h"
#include "ui/video_export_dialog.h"
#include "ui/video_pane.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 360, kHeight = 240, kFps = 10;

int64_t FrameNumberOf(const QImage& image) {
  if (image.isNull()) return -1;
  const QImage bgrx = image.convertToFormat(QImage::Format_RGB32);
  return DecodeFrameNumber(bgrx.constBits(), bgrx.width(), bgrx.height(), int(bgrx.bytesPerLine()));
}

TEST(VideoExportDialogTest, ExportsTheChosenCamerasAndCancelLeavesNothing) {
  TempDir dir;
  SaveAudioRouting(DefaultAudioRouting());
  recgen::RecordingOptions o;
  o.width = kWidth;
  o.height = kHeight;
  o.fps = kFps;
  o.seconds = 60;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", o, error)) << error;
  fs::create_directory(dir / "out");

  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  window.show();
  QSignalSpy opened(&window, &CQMXPlayerDlg::OpenFinished);
  window.OpenRecording((dir / "trip.avi").string());
  ASSERT_TRUE(opened.wait(30000));
  ASSERT_EQ(opened.front().front().toInt(), kGraphOk);
  // The overlay on, as the export draws it.
  window.RunCommand(kCmdMetadataOverlay);
  ASSERT_TRUE(window.Action(kCmdMetadataOverlay)->isChecked());
  window.RunCommand(kCmdPause);
  window.Engine()->Seek(-1, 200);
  ASSERT_TRUE(QTest::qWaitFor([&] { return FrameNumberOf(window.Pane(0)->Frame()) == 20; }, 20000))
      << FrameNumberOf(window.Pane(0)->Frame());
  const QImage shown = window.Pane(0)->Frame().convertToFormat(QImage::Format_RGB32);

  // Cameras 1 and 3 of 1 s to 3 s, in quad.
  const fs::path mp4 = dir / "out" / "two.mp4";
  WithExportDialog(window, [&](VideoExportDialog& dialog) {
    Child<QDoubleSpinBox>(dialog, "exportFrom")->setValue(1.0);
    Child<QDoubleSpinBox>(dialog, "exportTo")->setValue(3.0);
    Child<QCheckBox>(dialog, "exportCamera2")->setChecked(false);
    Child<QCheckBox>(dialog, "exportCamera4")->setChecked(false);
    Child<QLineEdit>(dialog, "exportDestination")->setText(QString::fromStdString(mp4.string()));
    auto* progress = Child<QProgressBar>(dialog, "exportProgress");
    QSignalSpy moved(progress, &QProgressBar::valueChanged);
    Child<QPushButton>(dialog, "exportStart")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.IsRunning(); }, 60000));
    EXPECT_EQ(dialog.Outcome().status, video_export::VideoExportStatus::kDone) << dialog.Outcome().reason;
    EXPECT_GE(moved.size(), 3) << "progress was shown on the way";
    EXPECT_EQ(progress->value(), 100);
    EXPECT_TRUE(Child<QLabel>(dialog, "exportStatus")->text().startsWith(QStringLiteral("Written")));
  });
  int status = -1;
  const std::string probe = RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=width,height,nb_read_frames "
      "-of compact=p=0:nk=0 " +
          ShellQuote(mp4.string()),
      &status);
  EXPECT_EQ(status, 0) << probe;
  EXPECT_NE(probe.find("width=720|height=516|nb_read_frames=20"), std::string::npos) << probe;

  // Frame 20 of the recording, export frame 10: camera 1 at the top left and
  // camera 3 beside it, each the source frame; the overlay's time lines at
  // the foot of camera 1 are the window's own for that frame.
  const std::string raw = RunCommand("ffmpeg -v error -i " + ShellQuote(mp4.string()) +
                                     " -vf \"select=eq(n\\,10)\" -frames:v 1 -f rawvideo -pix_fmt bgra -");
  ASSERT_EQ(raw.size(), std::size_t(720) * 516 * 4);
  const auto* frame = reinterpret_cast<const uint8_t*>(raw.data());
  EXPECT_EQ(DecodeFrameNumber(frame, kWidth, kHeight, 720 * 4), 20);
  EXPECT_EQ(DecodeFrameNumber(frame + kWidth * 4, kWidth, kHeight, 720 * 4), 20);
  ASSERT_EQ(shown.width(), kWidth);
  double text = 0, difference = 0;
  for (int y = kHeight - 60; y < kHeight - 10; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) {
        const int window_ = shown.constScanLine(y)[x * 4 + c], exported = frame[(y * 720 + x) * 4 + c];
        difference += std::abs(window_ - exported);
        text += window_ > 200 ? 1 : 0;  // the white glyphs
      }
  difference /= 50.0 * kWidth * 3;
  EXPECT_GT(text, 500) << "the window shows its overlay's text there";
  EXPECT_LT(difference, 8.0) << "the burned-in text is the window's";
  std::cout << "time text: differs by " << difference << " from the window's overlay of frame 20\n";

  // The whole recording, cancelled once the bar moves: no file, no temporary.
  WithExportDialog(window, [&](VideoExportDialog& dialog) {
    Child<QDoubleSpinBox>(dialog, "exportFrom")->setValue(0.0);
    Child<QDoubleSpinBox>(dialog, "exportTo")->setValue(60.0);
    Child<QLineEdit>(dialog, "exportDestination")
        ->setText(QString::fromStdString((dir / "out" / "all.mp4").string()));
    auto* progress = Child<QProgressBar>(dialog, "exportProgress");
    Child<QPushButton>(dialog, "exportStart")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return progress->value() >= 2 || !dialog.IsRunning(); }, 60000));
    Child<QPushButton>(dialog, "exportCancel")->click();
    EXPECT_TRUE(dialog.isVisible()) << "Cancel stops the export before it closes the dialog";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.IsRunning(); }, 60000));
    EXPECT_EQ(dialog.Outcome().status, video_export::VideoExportStatus::kCancelled);
    EXPECT_TRUE(Child<QLabel>(dialog, "exportStatus")->text().contains(QStringLiteral("cancelled")));
  });
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir / "out")) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"two.mp4"});
}

}  // namespace
