// Digital zoom and picture adjustments in the window, offscreen, on generated
// recordings playing through real pipelines: the wheel zooms about the
// pointer, a drag pans, the zoomed snapshot is the crop of the whole frame,
// and adjustments change the pane's picture but never a plain snapshot.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "frame_mark.h"
#include "psnr.h"
#include "recording_writer.h"
#include "run_command.h"
#include "snapshot/jpeg_file.h"
#include "temp_dir.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/message_box.h"
#include "ui/picture_adjustment_dialog.h"
#include "ui/picture_controller.h"
#include "ui/player_window.h"
#include "ui/save_file_chooser.h"
#include "ui/video_pane.h"

namespace {

namespace fs = std::filesystem;

// A size the overlay recognises: its frames are the ones snapshots keep.
constexpr int kWidth = 360, kHeight = 288;

int64_t FrameNumberOf(const QImage& image) {
  if (image.isNull()) return -1;
  const QImage bgrx = image.convertToFormat(QImage::Format_RGB32);
  return DecodeFrameNumber(bgrx.constBits(), bgrx.width(), bgrx.height(), int(bgrx.bytesPerLine()));
}

void Wheel(VideoPane* pane, QPointF at, int angle) {
  QWheelEvent e(at, pane->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(pane, &e);
}

void Mouse(VideoPane* pane, QEvent::Type type, QPointF at, Qt::MouseButtons held,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, at, pane->mapToGlobal(at), button, held, modifiers);
  QApplication::sendEvent(pane, &e);
}

void DoubleClick(VideoPane* pane, QPointF at, Qt::KeyboardModifiers modifiers) {
  Mouse(pane, QEvent::MouseButtonPress, at, Qt::LeftButton, modifiers);
  Mouse(pane, QEvent::MouseButtonRelease, at, Qt::NoButton, modifiers);
  Mouse(pane, QEvent::MouseButtonDblClick, at, Qt::LeftButton, modifiers);
  Mouse(pane, QEvent::MouseButtonRelease, at, Qt::NoButton, modifiers);
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

QImage Rgb(const QImage& image) {
  return image.convertToFormat(QImage::Format_RGB888);
}

class PlayerWindowZoomTest : public testing::Test {
 protected:
  void SetUp() override {
    SaveAudioRouting(DefaultAudioRouting());
    SetMessageCatcher([this](const std::string&, const std::string& text) { messages_.push_back(text); });
    recgen::RecordingOptions o;
    o.width = kWidth;
    o.height = kHeight;
    o.fps = 10;
    o.seconds = 3;
    std::string error;
    ASSERT_TRUE(recgen::WriteSequence(dir_.path(), "Trip", 1, o, error)) << error;
    window_.show();  // panes take frames while they are shown
    QSignalSpy finished(&window_, &CQMXPlayerDlg::OpenFinished);
    window_.OpenRecording((dir_ / "Trip-001.avi").string());
    ASSERT_TRUE(finished.wait(30000));
    ASSERT_EQ(finished.front().front().toInt(), kGraphOk);
    ASSERT_TRUE(QTest::qWaitFor([&] { return FrameNumberOf(Pane()->Frame()) > 2; }, 15000));
    window_.RunCommand(kCmdPause);
    window_.Engine()->Seek(-1, 120);
    ASSERT_TRUE(QTest::qWaitFor([&] { return FrameNumberOf(Pane()->Frame()) == 12; }, 15000))
        << FrameNumberOf(Pane()->Frame());
  }
  void TearDown() override {
    SetSaveFileAnswerer({});
    SetMessageCatcher({});
  }

  VideoPane* Pane(int k = 0) const { return window_.Pane(k); }
  QAction* Command(const char* name) const { return window_.findChild<QAction*>(QString::fromUtf8(name)); }
  QPointF At(VideoPane* pane, double x, double y) const {
    const QRect r = pane->PictureRect();
    return {r.left() + x * r.width(), r.top() + y * r.height()};
  }
  // Runs `save` with the save dialog answering `name`; the file's path.
  fs::path Saved(const std::string& name, const std::function<void()>& save) {
    const fs::path path = dir_ / name;
    SetSaveFileAnswerer([path]() -> std::optional<std::string> { return path.string(); });
    save();
    SetSaveFileAnswerer({});
    EXPECT_TRUE(messages_.empty()) << name << ": " << (messages_.empty() ? "" : messages_.front());
    EXPECT_TRUE(fs::exists(path)) << name;
    return path;
  }
  fs::path Snapshot(const std::string& name) {
    return Saved(name, [&] { window_.RunCommand(kCmdTakeSnapshot); });
  }
  fs::path ZoomedSnapshot(const std::string& name) {
    return Saved(name, [&] { Command("zoomedSnapshot")->trigger(); });
  }

  TempDir dir_;
  std::vector<std::string> messages_;
  CQMXPlayerDlg window_{"QMX", EngineConfig{"fakesink sync=true"}};
};

TEST_F(PlayerWindowZoomTest, WheelZoomsAboutThePointerDragPansCtrlDoubleClickResets) {
  VideoPane* pane = Pane();
  QSignalSpy wanted(pane, &VideoPane::FullFrameWantedChanged);
  const QPointF pointer = At(pane, 0.3, 0.6);
  const QPointF before = pane->FramePointAt(pointer);
  struct Step {
    const char* what;
    int angle;
    double zoom;
    int shownWidth;
  } steps[] = {
      {"four notches double", 480, 2, kWidth / 2},
      {"up to 8x and no further", 120 * 20, 8, kWidth / 8},
      {"back out to 2x", -960, 2, kWidth / 2},
  };
  for (const Step& s : steps) {
    Wheel(pane, pointer, s.angle);
    EXPECT_NEAR(pane->Zoom().zoom, s.zoom, 1e-9) << s.what;
    EXPECT_EQ(pane->ShownFramePixels().width(), s.shownWidth) << s.what;
    // Whole frame pixels are shown: the point stays within one of them.
    const QPointF after = pane->FramePointAt(pointer);
    EXPECT_NEAR(after.x(), before.x(), 1.0) << s.what;
    EXPECT_NEAR(after.y(), before.y(), 1.0) << s.what;
  }
  ASSERT_EQ(wanted.size(), 1) << "one change to full frames wanted, none on the way between zooms";
  EXPECT_EQ(wanted.front().at(1).toBool(), true);
  EXPECT_EQ(pane->Mark(), "2.0x");
  // The picture is drawn from the frame's pixels in the shown area.
  const PixelRect shown = pane->ShownFramePixels();
  const QImage expected =
      Rgb(pane->Frame()
              .copy(shown.left, shown.top, shown.width(), shown.height())
              .scaled(pane->PictureRect().size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  const QImage painted = Rgb(pane->Scaled());
  ASSERT_EQ(painted.size(), expected.size());
  EXPECT_GT(Psnr(painted.constBits(), expected.constBits(), size_t(painted.sizeInBytes())), 30.0);

  // A drag a quarter of the picture to the left shows an eighth of the frame
  // further right at 2x.
  const QPointF from = At(pane, 0.5, 0.5);
  const QPointF to = At(pane, 0.25, 0.5);
  // Through the window as a real mouse goes: the pane that takes the press
  // gets the moves.
  QTest::mousePress(pane, Qt::LeftButton, Qt::NoModifier, from.toPoint());
  QTest::mouseMove(pane, ((from + to) / 2).toPoint());
  QTest::mouseMove(pane, to.toPoint());
  QTest::mouseRelease(pane, Qt::LeftButton, Qt::NoModifier, to.toPoint());
  EXPECT_NEAR(pane->ShownFramePixels().left, shown.left + kWidth / 8.0, 1.0);
  EXPECT_EQ(pane->ShownFramePixels().top, shown.top) << "a level drag keeps the rows";
  Mouse(pane, QEvent::MouseMove, from, Qt::NoButton);
  EXPECT_NEAR(pane->ShownFramePixels().left, shown.left + kWidth / 8.0, 1.0) << "no drag without the button";

  // A plain double-click keeps its meaning (full screen) and the zoom.
  DoubleClick(pane, from, Qt::NoModifier);
  EXPECT_TRUE(window_.FullScreenOn());
  EXPECT_NEAR(pane->Zoom().zoom, 2, 1e-9);
  window_.SetFullScreen(false);
  DoubleClick(pane, from, Qt::ControlModifier);
  EXPECT_FALSE(window_.FullScreenOn());
  EXPECT_EQ(pane->Zoom(), ZoomView{});
  EXPECT_EQ(pane->Mark(), "");
  ASSERT_EQ(wanted.size(), 2);
  EXPECT_EQ(wanted.back().at(1).toBool(), false);

  // Each camera's pane keeps its zoom across view changes; Reset Zoom
  // resets them all.
  Wheel(pane, pointer, 480);
  window_.RunCommand(kCmdVideo[1]);
  ASSERT_TRUE(Pane(1)->isVisible());
  EXPECT_EQ(Pane(1)->Zoom(), ZoomView{});
  Wheel(Pane(1), At(Pane(1), 0.5, 0.5), 960);
  window_.RunCommand(kCmdVideo[0]);
  EXPECT_NEAR(pane->Zoom().zoom, 2, 1e-9);
  Command("resetZoom")->trigger();
  EXPECT_EQ(pane->Zoom(), ZoomView{});
  EXPECT_EQ(Pane(1)->Zoom(), ZoomView{});
}

TEST_F(PlayerWindowZoomTest, ZoomedSnapshotIsTheCropOfTheWholeFrame) {
  VideoPane* pane = Pane();
  const fs::path wholePng = Snapshot("whole.png");
  const QImage whole = Rgb(QImage(QString::fromStdString(wholePng.string())));
  const bool haveFfmpeg = !RunCommand("command -v ffmpeg").empty();
  ASSERT_EQ(whole.size(), QSize(kWidth, kHeight));
  EXPECT_EQ(whole, Rgb(pane->Frame())) << "a PNG snapshot is the decoded frame itself";
  // A JPEG snapshot is the pixels encoded at the snapshots' quality: the
  // zoomed one is the crop encoded, nothing enlarged.
  auto encoded = [&](const QImage& rgb) {
    std::vector<uint8_t> packed;
    for (int y = 0; y < rgb.height(); ++y)
      packed.insert(packed.end(), rgb.constScanLine(y), rgb.constScanLine(y) + rgb.width() * 3);
    const fs::path out = dir_ / "reference.jpg";
    EXPECT_TRUE(WriteJpegFile(out.c_str(), packed.data(), rgb.width(), rgb.height(), 75));
    return FileBytes(out);
  };
  EXPECT_EQ(FileBytes(Snapshot("whole.jpg")), encoded(whole));

  struct Case {
    const char* what;
    double x, y;
    int notches;
    QPointF drag;  // fractions of the picture
  } cases[] = {
      {"2x near the top left", 0.2, 0.2, 4, {0, 0}},
      {"3.4x dragged", 0.7, 0.4, 7, {0.1, -0.05}},
      {"8x in the bottom right corner", 1.0, 1.0, 12, {0, 0}},
      {"1x: the whole frame", 0.5, 0.5, 0, {0, 0}},
  };
  for (const Case& c : cases) {
    pane->ResetZoom();
    Wheel(pane, At(pane, c.x, c.y), 120 * c.notches);
    const QPointF from = At(pane, 0.5, 0.5);
    const QPointF to = At(pane, 0.5 + c.drag.x(), 0.5 + c.drag.y());
    Mouse(pane, QEvent::MouseButtonPress, from, Qt::LeftButton);
    Mouse(pane, QEvent::MouseMove, to, Qt::LeftButton);
    Mouse(pane, QEvent::MouseButtonRelease, to, Qt::NoButton);
    const PixelRect r = pane->ShownFramePixels();
    const QImage crop = whole.copy(r.left, r.top, r.width(), r.height());
    const fs::path zoomedPng = ZoomedSnapshot("zoomed.png");
    const QImage zoomed = Rgb(QImage(QString::fromStdString(zoomedPng.string())));
    EXPECT_EQ(zoomed.size(), crop.size()) << c.what;
    EXPECT_EQ(zoomed, crop) << c.what << ": the same pixels";
    if (haveFfmpeg) {
      // ffmpeg reads both files and crops the whole one to the same bytes.
      const std::string raw = " -f rawvideo -pix_fmt rgb24 - 2>/dev/null";
      const std::string cropped =
          RunCommand("ffmpeg -v error -i " + ShellQuote(wholePng.string()) +
                     " -vf crop=" + std::to_string(r.width()) + ":" + std::to_string(r.height()) + ":" +
                     std::to_string(r.left) + ":" + std::to_string(r.top) + raw);
      EXPECT_FALSE(cropped.empty()) << c.what;
      EXPECT_EQ(RunCommand("ffmpeg -v error -i " + ShellQuote(zoomedPng.string()) + raw), cropped) << c.what;
    }
    EXPECT_EQ(FileBytes(ZoomedSnapshot("zoomed.jpg")), encoded(crop)) << c.what;
  }

  // In quad the pane pointed at is the one saved: camera 3's.
  window_.RunCommand(kCmdAllVideos);
  ASSERT_TRUE(window_.Engine()->WaitTransport(std::chrono::seconds(20)));
  VideoPane* third = Pane(2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !third->Frame().isNull(); }, 15000));
  // The quad's panes show their pictures reduced; zoomed, paused, the pane
  // draws from the recorded frame, whole.
  Wheel(third, At(third, 0.6, 0.3), 480);
  ASSERT_TRUE(QTest::qWaitFor([&] { return FrameNumberOf(third->Frame()) == 12; }, 15000));
  ASSERT_EQ(third->Frame().size(), QSize(kWidth, kHeight));
  const PixelRect r = third->ShownFramePixels();
  const QImage zoomed = Rgb(QImage(QString::fromStdString(ZoomedSnapshot("third.png").string())));
  EXPECT_EQ(zoomed, Rgb(third->Frame()).copy(r.left, r.top, r.width(), r.height()));
}

// The two-camera layouts: both cameras stacked in one frame (a pane shows
// half its rows) and side by side at half height (snapshots double the rows).
// Take Snapshot of the lower camera saves the frame it is recorded in (it
// used to report an error: that camera has no channel of its own).
TEST_F(PlayerWindowZoomTest, ZoomedSnapshotOfTwoCameraFramesIsTheirCropToo) {
  struct Case {
    const char* what;
    int kind, width, height;
    int view;             // the camera shown
    int rowsPerFrameRow;  // snapshot rows for each frame row
  } cases[] = {
      {"stacked, the lower camera", 2, 320, 480, 1, 1},
      {"side by side, rows doubled", 3, 640, 240, 0, 2},
  };
  for (const Case& c : cases) {
    recgen::RecordingOptions o;
    o.kind = c.kind;
    o.width = c.width;
    o.height = c.height;
    o.fps = 10;
    o.seconds = 2;
    const std::string name = std::string("Kind") + char('0' + c.kind);
    std::string error;
    ASSERT_TRUE(recgen::WriteSequence(dir_.path(), name, 1, o, error)) << error;
    QSignalSpy finished(&window_, &CQMXPlayerDlg::OpenFinished);
    window_.OpenRecording((dir_ / (name + "-001.avi")).string());
    ASSERT_TRUE(finished.wait(30000)) << c.what;
    ASSERT_EQ(finished.front().front().toInt(), kGraphOk) << c.what;
    window_.RunCommand(kCmdPause);
    window_.RunCommand(kCmdVideo[c.view]);
    ASSERT_TRUE(window_.Engine()->WaitTransport(std::chrono::seconds(20))) << c.what;
    VideoPane* pane = nullptr;
    for (int k = 0; k < 4 && !pane; ++k)
      if (Pane(k)->isVisible()) pane = Pane(k);
    ASSERT_TRUE(pane) << c.what;
    // Settled once the pane shows the frame the snapshot is made of.
    QImage whole;
    auto paneRows = [&] {
      const QImage shown = Rgb(pane->Frame());
      if (shown.isNull() || whole.height() != shown.height() * c.rowsPerFrameRow) return QImage();
      QImage rows(shown.width(), shown.height(), QImage::Format_RGB888);
      for (int y = 0; y < rows.height(); ++y)
        std::copy_n(whole.constScanLine(y * c.rowsPerFrameRow), whole.bytesPerLine(), rows.scanLine(y));
      return rows;
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          whole = Rgb(QImage(QString::fromStdString(Snapshot("whole.png").string())));
          const QImage rows = paneRows();
          return !rows.isNull() && rows == Rgb(pane->Frame());
        },
        15000))
        << c.what;
    Wheel(pane, At(pane, 0.7, 0.8), 600);
    const PixelRect r = pane->ShownFramePixels();
    ASSERT_GT(pane->Zoom().zoom, 2) << c.what;
    const QImage zoomed = Rgb(QImage(QString::fromStdString(ZoomedSnapshot("zoomed.png").string())));
    EXPECT_EQ(zoomed,
              whole.copy(r.left, r.top * c.rowsPerFrameRow, r.width(), r.height() * c.rowsPerFrameRow))
        << c.what;
  }
}

TEST_F(PlayerWindowZoomTest, AdjustmentsChangeThePaneButNotThePlainSnapshot) {
  VideoPane* pane = Pane();
  const fs::path recorded = Snapshot("recorded.png");
  const QImage plainPicture = pane->Scaled().copy();

  struct Key {
    const char* action;
    const char* key;
    int presses;
  } keys[] = {{"brighter", "4", 4}, {"moreGamma", "6", 3}, {"lessContrast", "1", 1}};
  for (const Key& k : keys) {
    QAction* a = Command(k.action);
    ASSERT_TRUE(a) << k.action;
    EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromUtf8(k.key))) << k.action;
    for (int i = 0; i < k.presses; ++i) a->trigger();
  }
  const PictureAdjustment set{20, -5, 1.3};
  EXPECT_EQ(pane->Adjustment(), set);
  EXPECT_EQ(pane->Mark(), "B+20 C-5 G1.3");
  // The pane's picture is the same scaling with every level through the table.
  QImage expected = plainPicture.convertToFormat(QImage::Format_RGB32);
  ApplyToneTableBgrx(BuildToneTable(set), expected.bits(), expected.width(), expected.height(),
                     size_t(expected.bytesPerLine()));
  const QImage adjusted = pane->Scaled().convertToFormat(QImage::Format_RGB32);
  EXPECT_NE(adjusted, plainPicture.convertToFormat(QImage::Format_RGB32));
  EXPECT_EQ(adjusted, expected);

  // A plain snapshot is byte for byte the one taken before.
  EXPECT_EQ(FileBytes(Snapshot("plain.png")), FileBytes(recorded));
  EXPECT_EQ(QImage(QString::fromStdString(recorded.string())).convertToFormat(QImage::Format_RGB32),
            pane->Frame().convertToFormat(QImage::Format_RGB32))
      << "and the frame the pane was given is untouched";
  // Asked for, the snapshot is adjusted: every level through the same table.
  Command("adjustedSnapshots")->trigger();
  QImage want = QImage(QString::fromStdString(recorded.string())).convertToFormat(QImage::Format_RGB32);
  ApplyToneTableBgrx(BuildToneTable(set), want.bits(), want.width(), want.height(),
                     size_t(want.bytesPerLine()));
  EXPECT_EQ(
      QImage(QString::fromStdString(Snapshot("adjusted.png").string())).convertToFormat(QImage::Format_RGB32),
      want);
  Command("adjustedSnapshots")->trigger();

  // Adjustments are the camera's: camera 2 in the pane is as recorded, camera
  // 1 back brings them back.
  window_.RunCommand(kCmdVideo[1]);
  EXPECT_TRUE(Pane(1)->Adjustment().IsNeutral());
  EXPECT_EQ(Pane(1)->Mark(), "");
  window_.RunCommand(kCmdVideo[0]);
  EXPECT_EQ(pane->Adjustment(), set);

  // The dialog shows the camera's values and applies a slider as it moves.
  Command("pictureAdjustments")->trigger();
  PictureAdjustmentDialog* dialog = window_.Picture()->Dialog();
  ASSERT_TRUE(dialog && dialog->isVisible());
  EXPECT_EQ(dialog->Channel(), 0);
  EXPECT_EQ(dialog->Value(), set);
  dialog->findChild<QSlider*>(QStringLiteral("contrast"))->setValue(30);
  EXPECT_EQ(pane->Adjustment().contrast, 30);
  EXPECT_EQ(window_.Picture()->Adjustment(0).contrast, 30);
  dialog->findChild<QComboBox*>(QStringLiteral("camera"))->setCurrentIndex(2);
  EXPECT_TRUE(dialog->Value().IsNeutral()) << "camera 3 has none";
  dialog->findChild<QSlider*>(QStringLiteral("gamma"))->setValue(200);
  EXPECT_EQ(window_.Picture()->Adjustment(2).gamma, 2.0);
  EXPECT_EQ(pane->Adjustment().gamma, 1.3) << "camera 1's stays";
  Command("resetPicture")->trigger();
  EXPECT_TRUE(pane->Adjustment().IsNeutral());
  EXPECT_EQ(dialog->Channel(), 2);
  EXPECT_EQ(window_.Picture()->Adjustment(2).gamma, 2.0);
}

}  // namespace
