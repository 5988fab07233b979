#pragma once

#include <array>
#include <vector>

#include "ui/core/window_controls.h"

// The main window's geometry as pure functions from sizes to rectangles: the
// layout captured once from the template, the video area with its fixed
// aspect ratio, letterbox and pillarbox bars, the quad grid, the banner
// strips, where each bar control goes, and the Video Size 1:1 window size.
// All values are pixels of the window's client area (top-left origin).

// Edges are exclusive on the right and bottom: width = right - left.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const PixelRect&) const = default;
};

// Where a bar control sat in the template, as distances to the four edges.
struct CapturedControl {
  int id = 0;
  Anchor anchor = Anchor::kLeftBottom;
  int left = 0, top = 0, rightDistance = 0, bottomDistance = 0;
  int width = 0, height = 0;
};

// Captured once, never changed afterwards.
struct CapturedLayout {
  int initialWidth = 0, initialHeight = 0;                               // W0, H0: the initial client size
  int marginLeft = 0, marginTop = 0, marginRight = 0, marginBottom = 0;  // of the video panes
  double ratioW = 0, ratioH = 0;          // video pane size / initial client size
  std::vector<CapturedControl> controls;  // every bar control, the slider included
};

// The layout of the template (dialog units through DialogUnitsToPixels*).
CapturedLayout CaptureLayout();

// The extra height the video gets while the bar controls are hidden.
inline constexpr int kHiddenInterfaceExtraHeight = 60;
// Height of the status strip at the bottom of the client area.
inline constexpr int kStatusStripHeight = 18;

// 17/12, and 2/3 for a two-camera stacked recording (layout kind 2) in quad view.
inline constexpr double kVideoAspect = 1.4166666666666665;
inline constexpr double kStackedQuadAspect = 0.6666666666666666;

struct VideoAreaInput {
  int clientWidth = 0, clientHeight = 0;  // W, H
  int extraHeight = 0;                    // HX: 0, or kHiddenInterfaceExtraHeight
  bool quad = false;                      // the quad button is checked
  bool stackedLayout = false;             // the recording's layout kind is 2
  // The bar sizes of the previous layout: an area that already has the
  // wanted ratio keeps them.
  int previousLetterbox = 0, previousPillarbox = 0;
  // Rows the incident timeline takes under the video (0 when it is hidden):
  // the video, its banner and bars move up by them.
  int timelineHeight = 0;
  // Width to height of what the area shows (PictureAspect of the shown
  // camera, or of one quad cell); 0 keeps the template's 17/12 (2/3 stacked).
  double pictureAspect = 0;
  // Full screen: the video spans the client's width, with only the two
  // banner strips above and below it.
  bool fullScreen = false;
};

struct VideoAreaLayout {
  PixelRect area;                  // the video area after the bars are taken off
  std::array<PixelRect, 4> panes;  // video panes of channels 1..4
  int letterbox = 0;               // total height of the two letterbox bars
  int pillarbox = 0;               // total width of the two pillarbox bars
  PixelRect topBanner;             // the two banner lines above the video
  PixelRect bottomBanner;          // below the video; drawn moved down by extraHeight
  std::vector<PixelRect> bars;     // the strips paint fills: 0, 2 or 4
};

VideoAreaLayout LayoutVideoArea(const CapturedLayout& layout, const VideoAreaInput& in);

// Height of each banner strip in full screen (two lines of banner text).
inline constexpr int kFullScreenBannerHeight = 30;

// The display aspect of a decoded picture of w x h: the recording's stated
// aspect when it gives one (> 0), else square pixels, so 720x576 shows as
// 5:4 and 720x480 as 3:2. A 640x240 frame holds one field of a 640x480
// picture. 0 for an empty picture.
double PictureAspect(int width, int height, double statedAspect = 0);
// The largest rectangle of `aspect` centred in `box` (the letterboxed place
// of a picture in its pane).
PixelRect FitPicture(const PixelRect& box, double aspect);

// The bottom banner where it is drawn (moved down by the extra height).
PixelRect DrawnBottomBanner(const VideoAreaLayout& v, int extraHeight);
// The status strip: the client area's bottom kStatusStripHeight pixels.
PixelRect StatusStripRect(int clientWidth, int clientHeight);

// Whether the bar controls are hidden: the window's outer size is below the
// initial client size, or Hide Interface is on.
bool BarControlsHidden(const CapturedLayout& layout, int outerWidth, int outerHeight, bool interfaceHidden);

// Which skip buttons show while the bar is visible, from the scan speed:
// forward scan shows the active forward look, backward the active backward look.
struct SkipButtonLooks {
  bool backNormal = true, backActive = false, forwardNormal = true, forwardActive = false;
  bool operator==(const SkipButtonLooks&) const = default;
};
SkipButtonLooks SkipLooksForSpeed(int scanSpeed);

// Every bar control's rectangle for a client of W x H: left-anchored ones
// keep their left edge, right-anchored ones their right distance, all their
// bottom distance; the slider stretches. The active skip looks take the
// places of their normal looks.
struct PlacedControl {
  int id = 0;
  PixelRect rect;
};
std::vector<PlacedControl> PlaceBarControls(const CapturedLayout& layout, int clientWidth, int clientHeight);

// Video Size 1:1: the window size that shows a video of w x h at its own
// size, never smaller than the initial size.
struct WindowSize {
  int width = 0, height = 0;
  bool operator==(const WindowSize&) const = default;
};
WindowSize OneToOneWindowSize(const CapturedLayout& layout, int videoWidth, int videoHeight);
// The client size whose video area is exactly w x h (a quad area: twice a
// camera each way) with the rows the timeline and the hidden interface
// take counted; the caller adds the frame and the menu bar.
WindowSize ExactVideoClientSize(const CapturedLayout& layout, int areaWidth, int areaHeight,
                                int timelineHeight, int extraHeight);

// The size a window opens at on a screen whose free area is w x h: about
// two thirds of that area at the template's proportions, never below the
// template, never above the screen.
WindowSize OpeningWindowSize(const CapturedLayout& layout, int availableWidth, int availableHeight);
