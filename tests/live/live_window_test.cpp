// Live viewing in the main window, offscreen, against the DVR simulator:
// the source selection dialog with its settings, Open Stream, the panes,
// the overlay and banner, view changes, and a unit that cannot be reached.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "base/settings.h"
#include "live_test_support.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/stream_selection_dialog.h"
#include "ui/video_pane.h"

namespace {

std::vector<std::string> Lines(const QListWidget& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.count(); ++i) lines.push_back(list.item(i)->text().toStdString());
  return lines;
}

template <class T>
T* Child(QWidget& w, const char* name) {
  return w.findChild<T*>(QString::fromUtf8(name));
}

TEST(StreamSelectionDialog, ReadsAndWritesTheKnownUnits) {
  const struct {
    const char* knownDevices;
    const char* lastDevice;
    std::vector<std::string> lines;
    const char* address;
    const char* name;
  } cases[] = {
      {"Truck 7;10.0.0.7;Van;10.0.0.9;", "", {"Truck 7 10.0.0.7", "Van 10.0.0.9"}, "", ""},
      {"Van;10.0.0.9;Bus;10.0.0.2;", "Bus;10.0.0.2;", {"Bus 10.0.0.2", "Van 10.0.0.9"}, "10.0.0.2", "Bus"},
      {"Truck;", "Truck;", {}, "", "Truck"},
      {"", "no separator", {}, "", ""},
      {"", "", {}, "", ""},
  };
  for (const auto& c : cases) {
    WriteSetting("KnownDevices", c.knownDevices);
    WriteSetting("LastDevice", c.lastDevice);
    CStreamingSelectionDlg dialog;
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Open Streaming Video Source");
    EXPECT_EQ(Lines(*Child<QListWidget>(dialog, "knownUnits")), c.lines) << c.knownDevices;
    EXPECT_EQ(Child<QLineEdit>(dialog, "ipAddress")->text().toStdString(), c.address) << c.lastDevice;
    EXPECT_EQ(Child<QLineEdit>(dialog, "unitName")->text().toStdString(), c.name) << c.lastDevice;
    EXPECT_FALSE(Child<QPushButton>(dialog, "removeButton")->isEnabled());
    EXPECT_TRUE(dialog.Address().empty());
  }

  WriteSetting("KnownDevices", "Truck 7;10.0.0.7;Van;10.0.0.9;");
  WriteSetting("LastDevice", "");
  CStreamingSelectionDlg dialog;
  auto* list = Child<QListWidget>(dialog, "knownUnits");
  list->setCurrentRow(0);
  EXPECT_TRUE(Child<QPushButton>(dialog, "removeButton")->isEnabled());
  EXPECT_EQ(Child<QLineEdit>(dialog, "ipAddress")->text().toStdString(), "10.0.0.7");
  EXPECT_EQ(Child<QLineEdit>(dialog, "unitName")->text().toStdString(), "Truck 7");
  Child<QPushButton>(dialog, "removeButton")->click();
  Child<QLineEdit>(dialog, "ipAddress")->setText("127.0.0.1:4000");
  Child<QLineEdit>(dialog, "unitName")->setText("Bench");
  Child<QPushButton>(dialog, "addButton")->click();
  EXPECT_EQ(Lines(*list), (std::vector<std::string>{"Bench 127.0.0.1:4000", "Van 10.0.0.9"}));
  Child<QPushButton>(dialog, "connectButton")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Address(), "127.0.0.1:4000");
  EXPECT_EQ(ReadSetting("KnownDevices"), "Bench;127.0.0.1:4000;Van;10.0.0.9;");
  EXPECT_EQ(ReadSetting("LastDevice"), "Bench;127.0.0.1:4000;");

  // Cancel writes nothing; Connect with an empty list writes an empty list.
  WriteSetting("KnownDevices", "");
  CStreamingSelectionDlg cancelled;
  Child<QLineEdit>(cancelled, "unitName")->setText("Other");
  cancelled.reject();
  EXPECT_EQ(ReadSetting("LastDevice"), "Bench;127.0.0.1:4000;");
  CStreamingSelectionDlg empty;
  Child<QPushButton>(empty, "connectButton")->click();
  EXPECT_EQ(ReadSetting("KnownDevices"), "");
}

// Bright pixels in the top rows of a frame: the overlay's text.
int BrightPixelsAtTop(const QImage& frame) {
  int bright = 0;
  for (int y = 0; y < std::min(frame.height(), 24); ++y)
    for (int x = 0; x < frame.width(); ++x) bright += qGray(frame.pixel(x, y)) > 220;
  return bright;
}

class LiveWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    SaveAudioRouting(DefaultAudioRouting());
    WriteSetting("LastDevice", "");
    SetMessageCatcher([this](const std::string&, const std::string& text) { messages_.push_back(text); });
    window_ = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=false"});
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    SetMessageCatcher({});
  }
  // Runs Open Stream with its dialog, typing `address` and pressing Connect.
  void OpenStreamThroughTheDialog(const std::string& address) {
    QTimer::singleShot(0, [address] {
      ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeModalWidget() != nullptr; }, 5000))
          << "QApplication::activeModalWidget() != nullptr";
      auto* dialog = qobject_cast<CStreamingSelectionDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      Child<QLineEdit>(*dialog, "ipAddress")->setText(QString::fromStdString(address));
      Child<QPushButton>(*dialog, "connectButton")->click();
    });
    window_->RunCommand(kOpenStreamButton);
  }

  std::vector<std::string> messages_;
  std::unique_ptr<CQMXPlayerDlg> window_;
};

TEST_F(LiveWindowTest, ShowsTheUnitsPicturesOverlayAndBanner) {
  auto sim = livetest::StartSimulator();
  OpenStreamThroughTheDialog(sim->Address());
  ASSERT_NE(window_->Live(), nullptr);
  EXPECT_EQ(ReadSetting("LastDevice"), ";" + sim->Address() + ";");
  EXPECT_TRUE(window_->Button(kViewButtons[0])->isChecked());
  EXPECT_FALSE(window_->Button(kPlayButton)->isEnabled());
  EXPECT_TRUE(window_->Button(kQuadButton)->isEnabled());
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return (QString::fromStdString(window_->StatusLine())) == (QString("Connected to Stream")); },
      10000))
      << "(QString::fromStdString(window_->StatusLine())) == (QString(\"Connected to Stream\"))";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Pane(0)->Frame().isNull(); }, 10000))
      << "!window_->Pane(0)->Frame().isNull()";
  EXPECT_EQ(window_->Pane(0)->Frame().width(), sim->Width(0));
  EXPECT_EQ(BrightPixelsAtTop(window_->Pane(0)->Frame()), 0);

  // The banner shows the unit's metadata.
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->BannerLines()[3].rfind("Triggers-", 0) == 0; }, 10000))
      << "window_->BannerLines()[3].rfind(\"Triggers-\", 0) == 0";
  EXPECT_NE(window_->BannerLines()[0].find("Sattelites-"), std::string::npos) << window_->BannerLines()[0];

  // Drawn onto the pictures once the overlay is on.
  window_->RunCommand(kCmdMetadataBoth);
  ASSERT_TRUE(QTest::qWaitFor([&] { return BrightPixelsAtTop(window_->Pane(0)->Frame()) > 50; }, 10000))
      << "BrightPixelsAtTop(window_->Pane(0)->Frame()) > 50";

  // Quad asks the unit for all four cameras and fills all four panes.
  window_->RunCommand(kQuadButton);
  EXPECT_EQ(window_->Live()->ChannelMask(), 15u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim->Requests().back().mask == 15u; }, 10000))
      << "sim->Requests().back().mask == 15u";
  for (int k = 0; k < 4; ++k)
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Pane(k)->Frame().isNull(); }, 10000))
        << "!window_->Pane(k)->Frame().isNull()";
  window_->RunCommand(kViewButtons[2]);
  EXPECT_EQ(window_->Live()->ChannelMask(), 4u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim->Requests().back().mask == 4u; }, 10000))
      << "sim->Requests().back().mask == 4u";
  // Audio routing of the view reaches the mask too.
  window_->RunCommand(kCmdStream[0]);
  EXPECT_EQ(window_->Live()->ChannelMask(), 5u);
  EXPECT_TRUE(window_->Action(kCmdStream[0])->isChecked());

  window_->RunCommand(kCmdClose);
  EXPECT_EQ(window_->Live(), nullptr);
  EXPECT_EQ(window_->StatusLine(), "No Video Loaded");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(LiveWindowTest, AnUnreachableUnitIsReportedOnceAndClosed) {
  dvrsim::SimulatorOptions options;
  options.fault = dvrsim::Fault::kRefuse;
  auto sim = livetest::StartSimulator(options);
  window_->OpenStream(sim->Address());
  EXPECT_EQ(window_->StatusLine(), "Connecting to Stream...");
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Live() == nullptr; }, 10000))
      << "window_->Live() == nullptr";
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Can't connect to this device!");
  EXPECT_EQ(window_->StatusLine(), "No Video Loaded");
}

TEST_F(LiveWindowTest, AnEmptyAddressOpensNothing) {
  window_->OpenStream("");
  EXPECT_EQ(window_->Live(), nullptr);
  EXPECT_EQ(window_->StatusLine(), "No Video Loaded");
}

}  // namespace
