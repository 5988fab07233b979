#pragma once

#include <array>

#include "engine/pipeline/channel_result.h"
#include "engine/video_view.h"
#include "metadata/dvr_layout.h"

// What the video panes and overlays of a graph are told when the view
// changes: which overlays draw the GPS and time lines, the size the main
// window lays out for, and the part of the frame each pane shows. Pure data.

// Rows of the decoded frame a pane shows (the stacked two-camera layout
// shows one half per pane); height 0 means the whole frame.
struct SourceCrop {
  int top = 0;
  int height = 0;
  bool operator==(const SourceCrop&) const = default;
};

struct VideoArrangement {
  std::array<bool, 4> gpsLinesOn{};
  std::array<bool, 4> timeLinesOn{};
  std::array<SourceCrop, 4> crop{};  // per view window 0..3
  // Which channel's frames pane i shows: i itself, except in the stacked
  // layout where panes 0 and 1 both show channel 0.
  std::array<int, 4> paneChannel{0, 1, 2, 3};
};

VideoArrangement ArrangeChannels(const ChannelResults& channels, DvrLayout dvrKind, bool quad,
                                 VideoView view);

// The size the main window lays out for: the first channel with video,
// 640x240 (two fields side by side) counted as 640x480. False when no
// channel has video.
bool LayoutVideoSize(const ChannelResults& channels, int& width, int& height);
