#include "ui/core/menu_state.h"

#include <algorithm>
#include <cctype>

#include "ui/core/commands.h"

namespace {

bool EqualsNoCase(const std::string& a, const char* b) {
  const std::string bs = b;
  return a.size() == bs.size() && std::equal(a.begin(), a.end(), bs.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool FastDeinterlaceOn(const std::string& settingValue) {
  return !EqualsNoCase(settingValue, "Off");
}

std::string ToggledFastDeinterlace(const std::string& settingValue) {
  return FastDeinterlaceOn(settingValue) ? "Off" : "On";
}

std::optional<VideoView> CheckedView(const std::array<bool, 4>& viewChecked, bool quadChecked) {
  for (int k = 0; k < 4; ++k) {
    if (viewChecked[k]) return VideoView::Camera(k);
  }
  if (quadChecked) return VideoView::Quad();
  return std::nullopt;
}

VideoView StreamCommandView(const std::array<bool, 4>& viewChecked, bool quadChecked) {
  if (quadChecked) return VideoView::Quad();
  for (int k = 3; k >= 1; --k) {
    if (viewChecked[k]) return VideoView::Camera(k);
  }
  return VideoView::Camera(0);
}

std::unordered_map<int, MenuItemState> UpdateMenuState(const PlayerMenuInput& in) {
  std::unordered_map<int, MenuItemState> m;
  auto set = [&m](int id, bool enabled, std::optional<bool> checked = std::nullopt) {
    m[id] = {enabled, checked};
  };
  for (int id : {kCmdOpenFile, kCmdOpenStream, kCmdProxySettings, kCmdExit, kCmdAbout, kCmdMetadataHide,
                 kCmdMetadataOverlay, kCmdMetadataBanner, kCmdMetadataBoth}) {
    set(id, true);
  }
  set(kCmdHighSpeedDeinterlace, true, FastDeinterlaceOn(in.fastDeinterlaceSetting));
  // The window keeps these two checks itself (full screen, muted).
  set(kCmdFullScreen, true);
  set(kCmdMute, (in.hasPlayback && in.hasRecordingInfo) || in.hasLiveSession);

  // What a recording and a live stream both offer.
  auto viewAndAudio = [&](bool videoEnabledFromChannels) {
    for (int k = 0; k < 4; ++k) {
      bool enabled = true;
      if (videoEnabledFromChannels)
        enabled = in.dvrKind == DvrLayout::kTwoChannelStacked ? k < 2 : in.channelPresent[k];
      set(kCmdVideo[k], enabled);
    }
    set(kCmdAllVideos, in.quadEnabled);
    set(kCmdConfigureAudio, true);
    for (int k = 0; k < 4; ++k) set(kCmdStream[k], true, in.streamHeard[k]);
    set(kCmdHideInterface, true, in.interfaceHidden);
    set(kCmdClose, true);
  };

  if (in.hasPlayback && in.hasRecordingInfo) {
    for (int id : {kCmdProperties, kCmdExtractClip, kCmdPlay, kCmdPause, kCmdStop, kCmdVideoSize1To1,
                   kCmdFrameForward, kCmdFrameBackward}) {
      set(id, true);
    }
    set(kCmdTakeSnapshot, in.pauseChecked && !in.quadChecked);
    set(kCmdMapLocation, true, in.mapOpen);
    viewAndAudio(true);
    for (int k = 0; k < 4; ++k) m[kCmdVideo[k]].checked = in.viewChecked[k];
    m[kCmdAllVideos].checked = in.quadChecked;
    return m;
  }

  for (int id : {kCmdProperties, kCmdExtractClip, kCmdPlay, kCmdPause, kCmdStop, kCmdFrameBackward,
                 kCmdFrameForward, kCmdTakeSnapshot, kCmdVideoSize1To1}) {
    set(id, false);
  }
  if (in.hasLiveSession) {
    viewAndAudio(false);
    set(kCmdMapLocation, true);
  } else {
    for (int id : {kCmdHideInterface, kCmdConfigureAudio, kCmdClose, kCmdMapLocation, kCmdAllVideos}) {
      set(id, false);
    }
    for (int k = 0; k < 4; ++k) {
      set(kCmdStream[k], false);
      set(kCmdVideo[k], false);
    }
  }
  return m;
}
