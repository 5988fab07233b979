#pragma once

#include <vector>

#include "ui/core/commands.h"
#include "ui/core/video_layout.h"

// The incident timeline's commands and settings, and where the strip sits:
// under the position slider, which moves up by the strip's height while the
// buttons keep their places.

inline constexpr int kCmdShowTimeline = 33101;
inline constexpr int kCmdNextEvent = 33102;
inline constexpr int kCmdPreviousEvent = 33103;
inline constexpr int kCmdEventThreshold = 33104;
inline constexpr int kCmdCompactTimeline = 33105;  // the strip down to one line

// In the Video menu, after the window's own items.
const std::vector<CommandInfo>& TimelineCommands();

// "Off" hides the strip; anything else (absent too) shows it.
inline constexpr const char* kShowTimelineSetting = "ShowTimeline";

inline constexpr int kTimelineStripHeight = 161;
// Collapsed: only the event lane, one line high.
inline constexpr int kCompactTimelineHeight = 18;
// "On" keeps the strip collapsed to its one line.
inline constexpr const char* kCompactTimelineSetting = "CompactTimeline";

struct TimelinePlacement {
  PixelRect slider;
  PixelRect strip;
  bool operator==(const TimelinePlacement&) const = default;
};
// From where the bar layout put the slider: the slider `height` rows higher,
// the strip in the rows it left, as wide as the slider.
TimelinePlacement PlaceTimeline(const PixelRect& slider, int height);
