#include "ui/core/timeline_commands.h"

const std::vector<CommandInfo>& TimelineCommands() {
  using P = MenuPopup;
  static const std::vector<CommandInfo> commands = {
      {kCmdShowTimeline, P::kVideo, "Incident &Timeline", "Ctrl+T", true},
      {kCmdPreviousEvent, P::kVideo, "Pre&vious Event", "Ctrl+Left", false},
      {kCmdNextEvent, P::kVideo, "&Next Event", "Ctrl+Right", false},
      {kCmdEventThreshold, P::kVideo, "Harsh M&otion Threshold...", "", false},
      {kCmdCompactTimeline, P::kVideo, "Compact Timelin&e", "Ctrl+Shift+T", false},
  };
  return commands;
}

TimelinePlacement PlaceTimeline(const PixelRect& slider, int height) {
  TimelinePlacement p;
  p.slider = {slider.left, slider.top - height, slider.right, slider.bottom - height};
  p.strip = {slider.left, p.slider.bottom, slider.right, slider.bottom};
  return p;
}
