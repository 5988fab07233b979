// Video > Redactions... in the real window, offscreen: a rectangle dragged
// over camera 2's picture at 1 s and placed again at 3 s is saved for the
// recording in the data folder, and the window's video export applies it
// and names it; deleting it removes the saved list.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "evidence/sha256.h"
#include "export/redaction_store.h"
#include "export_dialog_driver.h"
#include "frame_mark.h"
#include "recording_writer.h"
#include "run_command.h"
#include "scoped_env.h"
#include "temp_dir.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/redaction_controller.h"
#include "ui/redaction_editor_dialog.h"
#include "ui/redaction_overlay.h"
#include "ui/video_pane.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 360, kHeight = 240;

int64_t FrameNumberOf(const QImage& image) {
  if (image.isNull()) return -1;
  const QImage bgrx = image.convertToFormat(QImage::Format_RGB32);
  return DecodeFrameNumber(bgrx.constBits(), bgrx.width(), bgrx.height(), int(bgrx.bytesPerLine()));
}

TEST(RedactionEditorTest, ShapesDrawnOnAPaneAreSavedAndAppliedToTheExport) {
  TempDir dir;
  ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
  SaveAudioRouting(DefaultAudioRouting());
  recgen::RecordingOptions o;
  o.width = kWidth;
  o.height = kHeight;
  o.fps = 10;
  o.seconds = 5;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "trip.avi", o, error)) << error;

  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  window.resize(1000, 800);
  window.show();
  QSignalSpy opened(&window, &CQMXPlayerDlg::OpenFinished);
  window.OpenRecording((dir / "trip.avi").string());
  ASSERT_TRUE(opened.wait(30000));
  ASSERT_EQ(opened.front().front().toInt(), kGraphOk);
  window.RunCommand(kCmdAllVideos);
  window.RunCommand(kCmdPause);
  VideoPane& pane = *window.Pane(1);
  auto showFrame = [&](int64_t centis, int64_t frame) {
    window.Engine()->Seek(-1, centis);
    ASSERT_TRUE(QTest::qWaitFor([&] { return FrameNumberOf(pane.Frame()) == frame; }, 20000))
        << FrameNumberOf(pane.Frame());
  };

  showFrame(100, 10);
  window.findChild<QAction*>(QStringLiteral("redactionEditor"))->trigger();
  RedactionController& redactions = *window.Redactions();
  RedactionEditorDialog* editor = redactions.Editor();
  ASSERT_TRUE(editor && editor->isVisible());
  auto* overlay = pane.findChild<RedactionOverlay*>();
  ASSERT_TRUE(overlay);
  const QRect picture = pane.PictureRect();
  ASSERT_GT(picture.width(), 100);
  // Drags from (0.75, 0.25) to (0.95, 0.45) of the picture.
  auto drag = [&] {
    const QPoint from(picture.x() + picture.width() * 3 / 4, picture.y() + picture.height() / 4);
    const QPoint to(picture.x() + picture.width() * 19 / 20, picture.y() + picture.height() * 9 / 20);
    ASSERT_TRUE(overlay->Armed());
    QTest::mousePress(overlay, Qt::LeftButton, {}, from);
    QTest::mouseMove(overlay, to);
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, to);
    EXPECT_FALSE(overlay->Armed());
  };

  Child<QPushButton>(*editor, "redactionNew")->click();
  drag();
  showFrame(300, 30);
  Child<QPushButton>(*editor, "redactionKeyframe")->click();
  drag();
  const redaction::RedactionList& list = redactions.List();
  ASSERT_EQ(list.items.size(), 1u);
  const redaction::Redaction& shape = list.items[0];
  EXPECT_EQ(shape.camera, 1);
  EXPECT_EQ(shape.shape, redaction::Shape::kRectangle);
  EXPECT_EQ(shape.fill, redaction::Fill::kSolid);
  ASSERT_EQ(shape.keys.size(), 2u);
  EXPECT_EQ(shape.keys[0].centis, 100);
  EXPECT_EQ(shape.keys[1].centis, 300);
  const double pixel = 2.0 / picture.width(), row = 2.0 / picture.height();
  EXPECT_NEAR(shape.keys[1].box.x, 0.75, pixel);
  EXPECT_NEAR(shape.keys[1].box.y, 0.25, row);
  EXPECT_NEAR(shape.keys[1].box.width, 0.2, pixel);
  EXPECT_NEAR(shape.keys[1].box.height, 0.2, row);

  // Saved in the data folder for this recording, nothing beside it.
  const std::string saved = redaction::RedactionListPath({(dir / "trip.avi").string()});
  ASSERT_TRUE(fs::exists(saved)) << saved;
  EXPECT_EQ(fs::path(saved).parent_path(), dir / "data" / "qmxplayer" / "redactions");

  const fs::path mp4 = dir / "out.mp4";
  WithExportDialog(window, [&](VideoExportDialog& dialog) {
    Child<QDoubleSpinBox>(dialog, "exportFrom")->setValue(0.0);
    Child<QDoubleSpinBox>(dialog, "exportTo")->setValue(5.0);
    Child<QLineEdit>(dialog, "exportDestination")->setText(QString::fromStdString(mp4.string()));
    Child<QPushButton>(dialog, "exportStart")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.IsRunning(); }, 60000));
    EXPECT_EQ(dialog.Outcome().status, video_export::VideoExportStatus::kDone) << dialog.Outcome().reason;
  });
  std::string hash;
  ASSERT_TRUE(evidence::Sha256OfFile(saved, hash, error)) << error;
  const std::string tags = RunCommand("ffprobe -v error -show_entries format_tags=comment -of compact=p=0 " +
                                      ShellQuote(mp4.string()));
  EXPECT_NE(tags.find("Redacted by the recording's saved redaction list (SHA-256 " + hash + ")"),
            std::string::npos)
      << tags;
  // Camera 2's cell, inside the shape: the fill at 2 s, the picture at 4 s.
  for (const auto& [frame, filled] : {std::pair{20, true}, std::pair{40, false}}) {
    const std::string raw =
        RunCommand("ffmpeg -v error -i " + ShellQuote(mp4.string()) + " -vf \"select=eq(n\\," +
                   std::to_string(frame) + "),crop=360:240:360:0\" -frames:v 1 -f rawvideo -pix_fmt gray -");
    ASSERT_EQ(raw.size(), std::size_t(kWidth) * kHeight) << frame;
    int brightest = 0;
    for (int y = 66; y < 102; ++y)
      for (int x = 276; x < 336; ++x)
        brightest = std::max(brightest, int(uint8_t(raw[std::size_t(y * kWidth + x)])));
    if (filled)
      EXPECT_LE(brightest, 12) << "frame " << frame;
    else
      EXPECT_GT(brightest, 40) << "frame " << frame;
  }

  // Deleting the last shape removes the saved list.
  Child<QPushButton>(*editor, "redactionDelete")->click();
  EXPECT_TRUE(redactions.List().items.empty());
  EXPECT_FALSE(fs::exists(saved));
  editor->close();
}

}  // namespace
