#include <gtest/gtest.h>

#include <set>

#include "ui/core/commands.h"
#include "ui/core/menu_state.h"

namespace {

PlayerMenuInput Recording(std::array<bool, 4> present = {true, true, true, true},
                          DvrLayout kind = DvrLayout::kFourChannel) {
  PlayerMenuInput in;
  in.hasPlayback = in.hasRecordingInfo = true;
  in.channelPresent = present;
  in.dvrKind = kind;
  in.viewChecked = {true, false, false, false};
  in.quadEnabled = true;
  return in;
}

TEST(MenuState, EnabledAndCheckedByPlayerState) {
  struct Case {
    const char* what;
    PlayerMenuInput in;
    std::set<int> disabled;  // of the commands the rules name
    std::vector<std::pair<int, std::optional<bool>>> checks;
  };
  const std::set<int> fileOnly = {kCmdProperties,   kCmdExtractClip,  kCmdPlay,
                                  kCmdPause,        kCmdStop,         kCmdFrameBackward,
                                  kCmdFrameForward, kCmdTakeSnapshot, kCmdVideoSize1To1};
  std::set<int> nothingOpen = fileOnly;
  for (int id :
       {kCmdHideInterface, kCmdConfigureAudio, kCmdClose, kCmdMapLocation, kCmdAllVideos, kCmdMute}) {
    nothingOpen.insert(id);
  }
  for (int k = 0; k < 4; ++k) nothingOpen.insert({kCmdStream[k], kCmdVideo[k]});

  PlayerMenuInput engineWithoutInfo;
  engineWithoutInfo.hasPlayback = true;
  PlayerMenuInput playing = Recording();
  playing.streamHeard = {true, false, false, true};
  playing.mapOpen = true;
  playing.interfaceHidden = true;
  PlayerMenuInput paused = Recording();
  paused.pauseChecked = true;
  PlayerMenuInput pausedQuad = paused;
  pausedQuad.viewChecked = {};
  pausedQuad.quadChecked = true;
  PlayerMenuInput live;
  live.hasLiveSession = true;
  live.quadEnabled = true;
  live.streamHeard = {false, true, false, false};
  live.fastDeinterlaceSetting = "oFF";

  const std::vector<Case> cases = {
      {"nothing open",
       {},
       nothingOpen,
       {{kCmdHighSpeedDeinterlace, true}, {kCmdOpenFile, {}}, {kCmdPlay, {}}}},
      {"an engine that knows nothing yet counts as nothing open", engineWithoutInfo, nothingOpen, {}},
      {"playing in view 1",
       playing,
       {kCmdTakeSnapshot},
       {{kCmdVideo[0], true},
        {kCmdVideo[1], false},
        {kCmdAllVideos, false},
        {kCmdStream[0], true},
        {kCmdStream[1], false},
        {kCmdStream[3], true},
        {kCmdMapLocation, true},
        {kCmdHideInterface, true},
        {kCmdPlay, {}}}},
      {"paused in a single view: snapshot",
       paused,
       {},
       {{kCmdMapLocation, false}, {kCmdHideInterface, false}}},
      {"paused in quad: no snapshot",
       pausedQuad,
       {kCmdTakeSnapshot},
       {{kCmdAllVideos, true}, {kCmdVideo[0], false}}},
      {"channels 2 and 4 missing",
       Recording({true, false, true, false}),
       {kCmdTakeSnapshot, kCmdVideo[1], kCmdVideo[3]},
       {}},
      {"stacked two-camera recording: Video 1 and 2 only",
       Recording({true, false, false, false}, DvrLayout::kTwoChannelStacked),
       {kCmdTakeSnapshot, kCmdVideo[2], kCmdVideo[3]},
       {}},
      {"one camera: All Videos grayed with the quad button",
       [] {
         PlayerMenuInput in = Recording({true, false, false, false});
         in.quadEnabled = false;
         return in;
       }(),
       {kCmdTakeSnapshot, kCmdVideo[1], kCmdVideo[2], kCmdVideo[3], kCmdAllVideos},
       {}},
      {"live stream",
       live,
       fileOnly,
       {{kCmdStream[1], true},
        {kCmdStream[0], false},
        {kCmdMapLocation, {}},
        {kCmdHighSpeedDeinterlace, false}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const auto state = UpdateMenuState(k.in);
    for (const CommandInfo& cmd : MenuCommands()) {
      ASSERT_TRUE(state.count(cmd.id)) << cmd.caption;
      EXPECT_EQ(state.at(cmd.id).enabled, !k.disabled.count(cmd.id)) << cmd.caption;
    }
    for (const auto& [id, checked] : k.checks)
      EXPECT_EQ(state.at(id).checked, checked) << FindCommand(id)->caption;
  }
}

TEST(MenuState, DeinterlaceSettingAndViewIndexes) {
  const std::vector<std::tuple<std::string, bool, std::string>> settings = {
      {"", true, "Off"}, {"On", true, "Off"}, {"Off", false, "On"}, {"oFF", false, "On"}, {"0", true, "Off"}};
  for (const auto& [value, on, toggled] : settings) {
    EXPECT_EQ(FastDeinterlaceOn(value), on) << value;
    EXPECT_EQ(ToggledFastDeinterlace(value), toggled) << value;
  }
  // Play takes the first checked view, the Stream commands the last checked of "2".."4" and quad.
  using V = std::array<bool, 4>;
  EXPECT_EQ(CheckedView(V{false, false, true, false}, false), VideoView::Camera(2));
  EXPECT_EQ(CheckedView(V{}, true), VideoView::Quad());
  EXPECT_EQ(CheckedView(V{}, false), std::nullopt);
  EXPECT_EQ(StreamCommandView(V{true, false, false, false}, false), VideoView::Camera(0));
  EXPECT_EQ(StreamCommandView(V{false, false, true, false}, false), VideoView::Camera(2));
  EXPECT_EQ(StreamCommandView(V{false, true, false, true}, true), VideoView::Quad());
  EXPECT_EQ(StreamCommandView(V{}, false), VideoView::Camera(0));
}

TEST(Commands, OneTableOfUniqueIdsMnemonicsAndShortcuts) {
  std::set<int> ids;
  std::set<std::string> shortcuts;
  for (const CommandInfo& c : MenuCommands()) {
    EXPECT_TRUE(ids.insert(c.id).second) << c.id;
    EXPECT_NE(std::string(c.caption).find('&'), std::string::npos) << c.caption;
    if (*c.shortcut) {
      EXPECT_TRUE(shortcuts.insert(c.shortcut).second) << c.shortcut;
    }
    EXPECT_EQ(FindCommand(c.id), &c);
  }
  EXPECT_EQ(FindCommand(kCmdConvert), nullptr);  // no menu item carries the conversion
  EXPECT_STREQ(FindCommand(kCmdVideoSize1To1)->caption, "Video Si&ze 1:1");
  EXPECT_STREQ(FindCommand(kCmdProperties)->caption, "File/Stream P&roperties");
  EXPECT_STREQ(PopupTitle(MenuPopup::kMetadata), "&Metadata");
}

}  // namespace
