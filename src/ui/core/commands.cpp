#include "ui/core/commands.h"

const std::vector<CommandInfo>& MenuCommands() {
  using P = MenuPopup;
  static const std::vector<CommandInfo> commands = {
      {kCmdOpenFile, P::kFile, "&Open File", "Ctrl+O", false},
      {kCmdOpenStream, P::kFile, "Open &Stream", "", false},
      {kCmdClose, P::kFile, "&Close", "Ctrl+W", false},
      {kCmdExtractClip, P::kFile, "&Extract Video Clip", "", true},
      {kCmdProxySettings, P::kFile, "&Proxy Server Settings", "", true},
      {kCmdExit, P::kFile, "E&xit", "Ctrl+Q", true},
      {kCmdPlay, P::kVideo, "&Play", "", false},
      {kCmdPause, P::kVideo, "P&ause", "", false},
      {kCmdStop, P::kVideo, "&Stop", "", false},
      {kCmdFrameBackward, P::kVideo, "Frame &Backward", "Left", true},
      {kCmdFrameForward, P::kVideo, "Frame &Forward", "Right", false},
      {kCmdTakeSnapshot, P::kVideo, "Ta&ke Snapshot", "Ctrl+S", true},
      {kCmdVideoSize1To1, P::kVideo, "Video Si&ze 1:1", "Ctrl+0", false},
      {kCmdVideo[0], P::kVideoWindow, "Video &1", "Ctrl+1", false},
      {kCmdVideo[1], P::kVideoWindow, "Video &2", "Ctrl+2", false},
      {kCmdVideo[2], P::kVideoWindow, "Video &3", "Ctrl+3", false},
      {kCmdVideo[3], P::kVideoWindow, "Video &4", "Ctrl+4", false},
      {kCmdAllVideos, P::kVideoWindow, "&All Videos", "Ctrl+5", true},
      {kCmdMetadataHide, P::kMetadata, "&Hide", "", false},
      {kCmdMetadataOverlay, P::kMetadata, "&Overlay", "", false},
      {kCmdMetadataBanner, P::kMetadata, "&Banner", "", false},
      {kCmdMetadataBoth, P::kMetadata, "Bo&th", "", false},
      {kCmdHighSpeedDeinterlace, P::kVideo, "&High Speed Deinterlacing", "", true},
      {kCmdHideInterface, P::kVideo, "Hide &Interface", "Ctrl+H", false},
      {kCmdMapLocation, P::kVideo, "Map &Location", "Ctrl+M", true},
      {kCmdProperties, P::kVideo, "File/Stream P&roperties", "Ctrl+I", false},
      {kCmdConfigureAudio, P::kAudio, "&Configure Audio", "", false},
      {kCmdStream[0], P::kAudio, "Stream &1", "", true},
      {kCmdStream[1], P::kAudio, "Stream &2", "", false},
      {kCmdStream[2], P::kAudio, "Stream &3", "", false},
      {kCmdStream[3], P::kAudio, "Stream &4", "", false},
      {kCmdMute, P::kAudio, "&Mute", "M", true},
      {kCmdFullScreen, P::kVideo, "F&ull Screen", "F11", false},
      {kCmdAbout, P::kHelp, "&About", "F1", false},
  };
  return commands;
}

const CommandInfo* FindCommand(int id) {
  for (const CommandInfo& c : MenuCommands()) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

const char* PopupTitle(MenuPopup popup) {
  switch (popup) {
    case MenuPopup::kFile:
      return "&File";
    case MenuPopup::kVideo:
      return "&Video";
    case MenuPopup::kVideoWindow:
      return "Video &Window";
    case MenuPopup::kMetadata:
      return "&Metadata";
    case MenuPopup::kAudio:
      return "&Audio";
    case MenuPopup::kHelp:
      return "&Help";
  }
  return "";
}
