#pragma once

#include <vector>

// The main window's command set: menu ids (the menu resource's numbers),
// captions with their mnemonics, and the conventional shortcuts added on top.

inline constexpr int kCmdOpenFile = 32771;
inline constexpr int kCmdOpenStream = 32829;
inline constexpr int kCmdClose = 32773;
inline constexpr int kCmdExtractClip = 32828;
inline constexpr int kCmdProxySettings = 32832;
inline constexpr int kCmdExit = 32772;
inline constexpr int kCmdPlay = 32774;
inline constexpr int kCmdPause = 32775;
inline constexpr int kCmdStop = 32776;
inline constexpr int kCmdFrameBackward = 32793;
inline constexpr int kCmdFrameForward = 32792;
inline constexpr int kCmdVideo[4] = {32777, 32778, 32779, 32780};
inline constexpr int kCmdAllVideos = 32783;
inline constexpr int kCmdMetadataHide = 32821;
inline constexpr int kCmdMetadataOverlay = 32822;
inline constexpr int kCmdMetadataBanner = 32823;
inline constexpr int kCmdMetadataBoth = 32824;
inline constexpr int kCmdVideoSize1To1 = 32825;
inline constexpr int kCmdConvert = 32826;  // no menu item carries it
inline constexpr int kCmdMapLocation = 32827;
inline constexpr int kCmdHighSpeedDeinterlace = 32831;
inline constexpr int kCmdTakeSnapshot = 32833;
inline constexpr int kCmdHideInterface = 32839;
inline constexpr int kCmdProperties = 32841;
inline constexpr int kCmdConfigureAudio = 32834;
inline constexpr int kCmdStream[4] = {32835, 32836, 32837, 32838};
inline constexpr int kCmdAbout = 32781;
inline constexpr int kCmdSystemAbout = 16;  // the system-menu item
// The window's own additions to the menu resource's set.
inline constexpr int kCmdFullScreen = 33111;
inline constexpr int kCmdMute = 33113;

// Where an item sits in the menu bar.
enum class MenuPopup { kFile, kVideo, kVideoWindow, kMetadata, kAudio, kHelp };

struct CommandInfo {
  int id;
  MenuPopup popup;
  const char* caption;   // with "&" before the mnemonic
  const char* shortcut;  // a QKeySequence text ("Ctrl+O"), "" for none
  bool separatorBefore;  // a separator precedes the item in its popup
};

// Every menu item in menu order (popup by popup, top to bottom). The
// conversion command 32826 is not in it.
const std::vector<CommandInfo>& MenuCommands();
// nullptr when `id` is no menu item.
const CommandInfo* FindCommand(int id);
// The popups' titles: "&File", "&Video", "Video &Window", "&Metadata", "&Audio", "&Help".
const char* PopupTitle(MenuPopup popup);
