#include "ui/core/video_layout.h"

#include <algorithm>

namespace {

// A template rectangle in pixels; edges are converted, not sizes, so that
// neighbouring controls stay flush after rounding.
PixelRect ToPixels(const TemplateRect& r) {
  return {DialogUnitsToPixelsX(r.x), DialogUnitsToPixelsY(r.y), DialogUnitsToPixelsX(r.x + r.width),
          DialogUnitsToPixelsY(r.y + r.height)};
}

}  // namespace

CapturedLayout CaptureLayout() {
  CapturedLayout c;
  c.initialWidth = DialogUnitsToPixelsX(kTemplateWidth);
  c.initialHeight = DialogUnitsToPixelsY(kTemplateHeight);
  const PixelRect video = ToPixels(kVideoTemplateRect);
  c.marginLeft = video.left;
  c.marginTop = video.top;
  c.marginRight = c.initialWidth - video.right;
  c.marginBottom = c.initialHeight - video.bottom;
  c.ratioW = static_cast<double>(video.width()) / c.initialWidth;
  c.ratioH = static_cast<double>(video.height()) / c.initialHeight;
  for (const ControlInfo& info : BarControls()) {
    // The active skip looks stand exactly where their normal looks stand.
    int source = info.id;
    if (info.id == kSkipBackActiveButton) source = kSkipBackButton;
    if (info.id == kSkipForwardActiveButton) source = kSkipForwardButton;
    const PixelRect r = ToPixels(FindBarControl(source)->rect);
    c.controls.push_back({info.id, info.anchor, r.left, r.top, c.initialWidth - r.right,
                          c.initialHeight - r.bottom, r.width(), r.height()});
  }
  return c;
}

VideoAreaLayout LayoutVideoArea(const CapturedLayout& layout, const VideoAreaInput& in) {
  const int W = in.clientWidth, H = in.clientHeight, HX = in.extraHeight;
  int x0 = layout.marginLeft, x1 = W - layout.marginRight;
  const int marginBottom = layout.marginBottom + in.timelineHeight;
  int y0 = layout.marginTop, y1 = H - marginBottom + HX;
  int w = x1 - x0, h = y1 - y0;

  VideoAreaLayout out;
  const bool stackedQuad = in.stackedLayout && in.quad;
  const double r = stackedQuad ? kStackedQuadAspect : kVideoAspect;
  const int wantW = static_cast<int>(h * r);
  const int wantH = static_cast<int>(w / r);
  if (wantW > w) {  // too tall
    out.letterbox = h - wantH;
    out.pillarbox = 0;
    y0 += (h - wantH) / 2;
    y1 -= (h - wantH) / 2;
  } else if (wantH > h) {  // too wide
    out.pillarbox = w - wantW;
    out.letterbox = 0;
    x0 += (w - wantW) / 2;
    x1 -= (w - wantW) / 2;
  } else {
    out.letterbox = in.previousLetterbox;
    out.pillarbox = in.previousPillarbox;
  }
  w = x1 - x0;
  h = y1 - y0;
  out.area = {x0, y0, x1, y1};

  if (in.quad && !in.stackedLayout) {
    const int hw = w / 2, hh = h / 2;
    out.panes[0] = {x0, y0, x0 + hw, y0 + hh};
    out.panes[1] = {x0 + hw, y0, x0 + 2 * hw, y0 + hh};
    out.panes[2] = {x0, y0 + hh, x0 + hw, y0 + 2 * hh};
    out.panes[3] = {x0 + hw, y0 + hh, x0 + 2 * hw, y0 + 2 * hh};
  } else {
    out.panes.fill(out.area);
  }

  const int left = layout.marginLeft, right = W - layout.marginRight;
  const int videoBottom = H - marginBottom;
  out.topBanner = {left, layout.marginTop - 30, right, layout.marginTop + 3};
  out.bottomBanner = {left, videoBottom, right, videoBottom + 30};

  if (const int p = out.pillarbox; p != 0) {
    out.bars.push_back({left, layout.marginTop, left + p / 2, videoBottom + HX + 5});
    out.bars.push_back({right - p / 2, layout.marginTop, W, videoBottom + HX + 5});
  }
  if (const int q = out.letterbox; q != 0) {
    out.bars.push_back({left, layout.marginTop, right, layout.marginTop + q / 2});
    out.bars.push_back({left, videoBottom + HX - q / 2, right, videoBottom + HX});
  }
  return out;
}

PixelRect DrawnBottomBanner(const VideoAreaLayout& v, int extraHeight) {
  PixelRect r = v.bottomBanner;
  r.top += extraHeight;
  r.bottom += extraHeight;
  return r;
}

PixelRect StatusStripRect(int clientWidth, int clientHeight) {
  return {0, clientHeight - kStatusStripHeight, clientWidth, clientHeight};
}

bool BarControlsHidden(const CapturedLayout& layout, int outerWidth, int outerHeight, bool interfaceHidden) {
  return outerWidth < layout.initialWidth || outerHeight < layout.initialHeight || interfaceHidden;
}

SkipButtonLooks SkipLooksForSpeed(int scanSpeed) {
  if (scanSpeed > 0) return {true, false, false, true};
  if (scanSpeed < 0) return {false, true, true, false};
  return {};
}

std::vector<PlacedControl> PlaceBarControls(const CapturedLayout& layout, int clientWidth, int clientHeight) {
  std::vector<PlacedControl> placed;
  for (const CapturedControl& c : layout.controls) {
    const int top = clientHeight - c.bottomDistance - c.height;
    int left = c.left, width = c.width;
    if (c.anchor == Anchor::kRightBottom) left = clientWidth - c.rightDistance - c.width;
    if (c.anchor == Anchor::kStretch) width = clientWidth - c.rightDistance - c.left;
    placed.push_back({c.id, {left, top, left + width, top + c.height}});
  }
  return placed;
}

WindowSize OneToOneWindowSize(const CapturedLayout& layout, int videoWidth, int videoHeight) {
  WindowSize s{layout.initialWidth, layout.initialHeight};
  if (layout.ratioW > 0) s.width = std::max(s.width, static_cast<int>(videoWidth / layout.ratioW));
  if (layout.ratioH > 0) s.height = std::max(s.height, static_cast<int>(videoHeight / layout.ratioH));
  return s;
}
