#include "ui/core/video_layout.h"

#include <algorithm>
#include <cmath>

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
  const int marginLeft = in.fullScreen ? 0 : layout.marginLeft;
  const int marginRight = in.fullScreen ? 0 : layout.marginRight;
  const int marginTop = in.fullScreen ? kFullScreenBannerHeight : layout.marginTop;
  int x0 = marginLeft, x1 = W - marginRight;
  const int marginBottom = in.fullScreen ? kFullScreenBannerHeight : layout.marginBottom + in.timelineHeight;
  int y0 = marginTop, y1 = H - marginBottom + HX;
  int w = x1 - x0, h = y1 - y0;

  VideoAreaLayout out;
  const bool stackedQuad = in.stackedLayout && in.quad;
  const double r = in.pictureAspect > 0 ? in.pictureAspect : stackedQuad ? kStackedQuadAspect : kVideoAspect;
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

  const int left = marginLeft, right = W - marginRight;
  const int videoBottom = H - marginBottom;
  out.topBanner = {left, marginTop - 30, right, marginTop + 3};
  out.bottomBanner = {left, videoBottom, right, videoBottom + 30};

  if (const int p = out.pillarbox; p != 0) {
    out.bars.push_back({left, marginTop, left + p / 2, videoBottom + HX + 5});
    out.bars.push_back({right - p / 2, marginTop, W, videoBottom + HX + 5});
  }
  if (const int q = out.letterbox; q != 0) {
    out.bars.push_back({left, marginTop, right, marginTop + q / 2});
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

WindowSize ExactVideoClientSize(const CapturedLayout& layout, int areaWidth, int areaHeight,
                                int timelineHeight, int extraHeight) {
  return {areaWidth + layout.marginLeft + layout.marginRight,
          areaHeight + layout.marginTop + layout.marginBottom + timelineHeight - extraHeight};
}

WindowSize OpeningWindowSize(const CapturedLayout& layout, int availableWidth, int availableHeight) {
  // Two thirds of the area: each side by the square root of 2/3.
  const double side = std::sqrt(2.0 / 3.0);
  WindowSize s{static_cast<int>(availableWidth * side), static_cast<int>(availableHeight * side)};
  s.width = std::max(s.width, layout.initialWidth);
  s.height = std::max(s.height, layout.initialHeight);
  if (availableWidth > 0) s.width = std::min(s.width, availableWidth);
  if (availableHeight > 0) s.height = std::min(s.height, availableHeight);
  return s;
}

double PictureAspect(int width, int height, double statedAspect) {
  if (statedAspect > 0) return statedAspect;
  if (width <= 0 || height <= 0) return 0;
  if (width == 640 && height == 240) height = 480;
  return static_cast<double>(width) / height;
}

PixelRect FitPicture(const PixelRect& box, double aspect) {
  const int w = box.width(), h = box.height();
  if (aspect <= 0 || w <= 0 || h <= 0) return box;
  int fitW = w, fitH = static_cast<int>(std::lround(w / aspect));
  if (fitH > h) {
    fitH = h;
    fitW = static_cast<int>(std::lround(h * aspect));
  }
  const int left = box.left + (w - fitW) / 2, top = box.top + (h - fitH) / 2;
  return {left, top, left + fitW, top + fitH};
}
