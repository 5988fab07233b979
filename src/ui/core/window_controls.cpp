#include "ui/core/window_controls.h"

#include <cmath>

const std::vector<ControlInfo>& BarControls() {
  static const std::vector<ControlInfo> controls = {
      {kPositionSlider, "positionSlider", {7, 248, 438, 12}, nullptr, Anchor::kStretch},
      {kOpenButton, "openButton", {17, 261, 23, 16}, "Open an AVI file from the DVR", Anchor::kLeftBottom},
      {kOpenStreamButton,
       "openStreamButton",
       {45, 261, 23, 16},
       "Connect via network to a DVR",
       Anchor::kLeftBottom},
      {kPlayButton, "playButton", {73, 261, 23, 16}, "Play video", Anchor::kLeftBottom},
      {kPauseButton, "pauseButton", {101, 261, 23, 16}, "Pause video", Anchor::kLeftBottom},
      {kStopButton, "stopButton", {129, 261, 23, 16}, "Stop video playback", Anchor::kLeftBottom},
      {kSkipBackButton,
       "skipBackButton",
       {157, 261, 23, 16},
       "Skip backward in the video",
       Anchor::kLeftBottom},
      {kSkipBackActiveButton,
       "skipBackActiveButton",
       {157, 261, 23, 16},
       "Skip backward in the video",
       Anchor::kLeftBottom},
      {kSkipForwardButton,
       "skipForwardButton",
       {185, 261, 23, 16},
       "Skip forward in the video",
       Anchor::kLeftBottom},
      {kSkipForwardActiveButton,
       "skipForwardActiveButton",
       {186, 261, 23, 16},
       "Skip forward in the video",
       Anchor::kLeftBottom},
      {kSnapshotButton,
       "snapshotButton",
       {213, 261, 23, 16},
       "Save a snapshot of the video to a JPEG",
       Anchor::kLeftBottom},
      {kClipButton, "clipButton", {241, 261, 23, 16}, "Extract a video clip", Anchor::kRightBottom},
      {kMapButton,
       "mapButton",
       {269, 261, 23, 16},
       "View the street map for this GPS location",
       Anchor::kRightBottom},
      {kViewButtons[0], "view1Button", {297, 261, 23, 16}, "View video channel 1", Anchor::kRightBottom},
      {kViewButtons[1], "view2Button", {325, 261, 23, 16}, "View video channel 2", Anchor::kRightBottom},
      {kViewButtons[2], "view3Button", {353, 261, 23, 16}, "View video channel 3", Anchor::kRightBottom},
      {kViewButtons[3], "view4Button", {381, 261, 23, 16}, "View video channel 4", Anchor::kRightBottom},
      {kQuadButton,
       "quadButton",
       {409, 261, 23, 16},
       "View all 4 video channels at once",
       Anchor::kRightBottom},
  };
  return controls;
}

const ControlInfo* FindBarControl(int id) {
  for (const ControlInfo& c : BarControls()) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

int DialogUnitsToPixelsX(int units) {
  return static_cast<int>(std::lround(units * kDialogUnitX));
}

int DialogUnitsToPixelsY(int units) {
  return static_cast<int>(std::lround(units * kDialogUnitY));
}
