#include "engine/pipeline/video_arrangement.h"

VideoArrangement ArrangeChannels(const ChannelResults& channels, DvrLayout dvrKind, bool quad,
                                 VideoView view) {
  VideoArrangement a;
  if (!quad) {
    a.gpsLinesOn.fill(true);
    a.timeLinesOn.fill(true);
  } else {
    for (int c = 0; c < 4; ++c) {
      if (channels[c].video) {
        a.gpsLinesOn[c] = true;
        break;
      }
    }
    int timeChannel = -1;
    if (channels[2].video || dvrKind == DvrLayout::kTwoChannelStacked) {
      timeChannel = 2;
    } else if (channels[3].video) {
      timeChannel = 3;
    } else if (channels[0].video) {
      timeChannel = 0;
    } else if (channels[1].video) {
      timeChannel = 1;
    }
    if (timeChannel >= 0) a.timeLinesOn[timeChannel] = true;
  }
  if (dvrKind == DvrLayout::kTwoChannelStacked) {
    const SourceCrop crop =
        quad ? SourceCrop{0, 480} : SourceCrop{view == VideoView::Camera(0) ? 0 : 240, 240};
    a.crop[0] = a.crop[1] = crop;
    a.paneChannel[0] = a.paneChannel[1] = 0;
  }
  return a;
}

bool LayoutVideoSize(const ChannelResults& channels, int& width, int& height) {
  for (const ChannelResult& c : channels) {
    if (!c.video) continue;
    width = c.width;
    height = (c.width == 640 && c.height == 240) ? 480 : c.height;
    return true;
  }
  return false;
}
