#pragma once

#include <array>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/video_view.h"
#include "metadata/dvr_layout.h"

// Which menu items are enabled and checked, from the player's state: the
// rules of UpdateMenuState as a pure function. Items the rules don't mention
// keep their state; a check mark the rules leave alone comes back as nullopt,
// and items that are never checked carry none (no check box). The Metadata
// modes are one radio group the window keeps itself.

struct PlayerMenuInput {
  std::string fastDeinterlaceSetting;  // ReadSetting("FastDeinterlace") as read
  bool hasPlayback = false;            // a recording engine exists
  bool hasRecordingInfo = false;       // ...and knows what the recording holds
  bool hasLiveSession = false;
  bool interfaceHidden = false;
  bool mapOpen = false;                         // the map window exists
  bool pauseChecked = false;                    // the Pause button
  bool quadChecked = false;                     // the quad button
  std::array<bool, 4> viewChecked{};            // view buttons "1".."4"
  DvrLayout dvrKind = DvrLayout::kFourChannel;  // layout kind of the recording
  std::array<bool, 4> channelPresent{};
  bool quadEnabled = false;  // the quad button is enabled (All Videos follows it)
  // GetAudioRoute(current view, k) of the engine, or of the live session
  // without a recording.
  std::array<bool, 4> streamHeard{};
};

struct MenuItemState {
  bool enabled = true;
  std::optional<bool> checked;  // nullopt: keep the current check mark
  bool operator==(const MenuItemState&) const = default;
};

// The state of every command the rules name, by command id (commands.h).
// Items never grayed (Open File, Open Stream, Proxy Server Settings, Exit,
// About, the Metadata items) are listed as enabled.
std::unordered_map<int, MenuItemState> UpdateMenuState(const PlayerMenuInput& in);

// "FastDeinterlace": anything but "Off" (any letter case), an absent value
// included, means on.
bool FastDeinterlaceOn(const std::string& settingValue);
// The value the toggle stores: "On" after an "Off", else "Off".
std::string ToggledFastDeinterlace(const std::string& settingValue);

// The current view: the camera of the first checked view button "1".."4",
// else quad when its button is checked, else none. (The Play command's rule.)
std::optional<VideoView> CheckedView(const std::array<bool, 4>& viewChecked, bool quadChecked);
// The Stream k commands' view: quad when checked, else the camera of the
// last checked of "2", "3", "4", and the first camera otherwise.
VideoView StreamCommandView(const std::array<bool, 4>& viewChecked, bool quadChecked);
