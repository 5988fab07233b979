// The audio control dialog, offscreen, reading and writing the real
// settings file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "base/settings.h"
#include "ui/audio_control_dialog.h"
#include "ui/core/audio_routing_store.h"

namespace {

void ClearStoredRouting() {
  for (VideoView v : VideoView::All()) {
    for (int c = 0; c < 4; ++c) WriteSetting(RouteSettingName(v, c), "");
  }
  for (int c = 0; c < 4; ++c) WriteSetting(VolumeSettingName(c), "");
}

// What the dialog's widgets show: 20 boxes, then the four slider positions.
struct Shown {
  std::array<std::array<bool, 4>, 5> boxes{};
  std::array<int, 4> sliders{};
  bool operator==(const Shown&) const = default;
};

Shown Read(const CAudioControlDlg& d) {
  Shown s;
  for (VideoView v : VideoView::All()) {
    for (int c = 0; c < 4; ++c) {
      const auto* box = d.findChild<QCheckBox*>(QString::fromStdString(RouteSettingName(v, c)).toLower());
      EXPECT_NE(box, nullptr);
      if (box) s.boxes[v.Number()][c] = box->isChecked();
    }
  }
  for (int c = 0; c < 4; ++c)
    // How far the handle stands from the top (0: full volume).
    s.sliders[c] = 100 - d.findChild<QSlider*>(QStringLiteral("volume%1").arg(c + 1))->value();
  return s;
}

void Click(CAudioControlDlg& d, const char* name) {
  d.findChild<QPushButton*>(QString::fromUtf8(name))->click();
}

QPushButton* Standard(CAudioControlDlg& d, QDialogButtonBox::StandardButton which) {
  return d.findChild<QDialogButtonBox*>()->button(which);
}

constexpr std::array<std::array<bool, 4>, 5> kDefaultBoxes = {{{true, false, false, false},
                                                               {false, true, false, false},
                                                               {false, false, true, false},
                                                               {false, false, false, true},
                                                               {true, true, true, true}}};

// The stored texts' reading rules are the store's own (audio_routing_store_test);
// here: what the widgets make of them.
TEST(AudioControlDialog, ShowsTheStoredRouting) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> stored;
    Shown shown;
  };
  const std::vector<Case> cases = {
      {"empty store: diagonal and quad column, sliders at the top", {}, {kDefaultBoxes, {0, 0, 0, 0}}},
      {"volumes: abc is 0 (bottom), 150 shows at the top, 40 at 60",
       {{"Volume1", "abc"}, {"Volume2", "150"}, {"Volume3", "40"}},
       {kDefaultBoxes, {100, 0, 60, 0}}},
  };
  for (const Case& c : cases) {
    ClearStoredRouting();
    for (const auto& [name, value] : c.stored) WriteSetting(name, value);
    CAudioControlDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Audio Control");
    EXPECT_EQ(Read(dialog), c.shown) << c.what;
  }
}

TEST(AudioControlDialog, ButtonsOkAndCancel) {
  ClearStoredRouting();
  WriteSetting("Volume2", "150");
  WriteSetting("Volume4", "30");
  {
    CAudioControlDlg dialog;
    Click(dialog, "selectAll");
    Shown s = Read(dialog);
    for (const auto& column : s.boxes) EXPECT_EQ(column, (std::array<bool, 4>{true, true, true, true}));
    Click(dialog, "selectNone");
    s = Read(dialog);
    for (const auto& column : s.boxes) EXPECT_EQ(column, (std::array<bool, 4>{}));
    EXPECT_EQ(s.sliders, (std::array<int, 4>{0, 0, 0, 70}));  // sliders untouched
    // Default after Select None brings the routing back, the volumes stay.
    Click(dialog, "defaultRouting");
    EXPECT_EQ(Read(dialog), (Shown{kDefaultBoxes, {0, 0, 0, 70}}));
    dialog.findChild<QCheckBox*>("vid3aud1")->setChecked(true);
    dialog.findChild<QCheckBox*>("quadaud2")->setChecked(false);
    Standard(dialog, QDialogButtonBox::Cancel)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  EXPECT_EQ(ReadSetting("Vid3Aud1"), "");  // Cancel stores nothing
  EXPECT_EQ(ReadSetting("Volume2"), "150");
  {
    CAudioControlDlg dialog;
    dialog.findChild<QCheckBox*>("vid3aud1")->setChecked(true);
    dialog.findChild<QCheckBox*>("quadaud2")->setChecked(false);
    dialog.findChild<QSlider*>("volume1")->setValue(75);
    Standard(dialog, QDialogButtonBox::Ok)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
  // OK stores every value; the clamped 150 is saved as 100.
  const std::vector<std::pair<std::string, std::string>> saved = {
      {"Vid1Aud1", "yes"}, {"Vid3Aud1", "yes"}, {"Vid3Aud2", "no"}, {"QuadAud2", "no"},
      {"QuadAud1", "yes"}, {"Volume1", "75"},   {"Volume2", "100"}, {"Volume4", "30"}};
  for (const auto& [name, value] : saved) EXPECT_EQ(ReadSetting(name), value) << name;
  AudioRouting expected = DefaultAudioRouting();
  expected.hear[2][0] = true;
  expected.hear[4][1] = false;
  expected.volume = {75, 100, 100, 30};
  EXPECT_EQ(LoadAudioRouting(), expected);
}

TEST(AudioControlDialog, NamesStandOnTheLinesOfTheirBoxesAndVolumesFillFromTheBottom) {
  ClearStoredRouting();
  WriteSetting("Volume3", "40");
  CAudioControlDlg dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  for (int a = 0; a < 4; ++a) {
    const auto* name = dialog.findChild<QLabel*>(QStringLiteral("channelLabel%1").arg(a + 1));
    ASSERT_NE(name, nullptr) << a;
    const int nameY = name->mapTo(&dialog, name->rect().center()).y();
    for (VideoView v : VideoView::All()) {
      const auto* box =
          dialog.findChild<QCheckBox*>(QString::fromStdString(RouteSettingName(v, a)).toLower());
      EXPECT_NEAR(box->mapTo(&dialog, box->rect().center()).y(), nameY, 2) << v.Number() << "/" << a;
    }
  }
  // Full volume at the top, the groove filled from the bottom up to the handle.
  const auto* slider = dialog.findChild<QSlider*>("volume3");
  EXPECT_FALSE(slider->invertedAppearance());
  EXPECT_EQ(slider->value(), 40);
}

}  // namespace
