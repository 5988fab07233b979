#include "ui/core/zoom_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Zooms this close to 1 are 1: repeated wheel steps in and out land on
// exactly the whole picture again.
constexpr double kUnitZoomSlack = 1e-6;

}  // namespace

ZoomView ClampedZoom(ZoomView view) {
  if (!std::isfinite(view.zoom)) view.zoom = 1.0;
  view.zoom = std::clamp(view.zoom, 1.0, kMaxPaneZoom);
  if (view.zoom < 1.0 + kUnitZoomSlack) view.zoom = 1.0;
  const double half = 0.5 / view.zoom;
  if (!std::isfinite(view.centerX)) view.centerX = 0.5;
  if (!std::isfinite(view.centerY)) view.centerY = 0.5;
  view.centerX = std::clamp(view.centerX, half, 1.0 - half);
  view.centerY = std::clamp(view.centerY, half, 1.0 - half);
  return view;
}

PictureArea ShownArea(const ZoomView& view) {
  const ZoomView v = ClampedZoom(view);
  const double side = 1.0 / v.zoom;
  return {v.centerX - side / 2, v.centerY - side / 2, side, side};
}

void PicturePointAt(const ZoomView& view, double x, double y, double& pictureX, double& pictureY) {
  const PictureArea a = ShownArea(view);
  pictureX = a.left + x * a.width;
  pictureY = a.top + y * a.height;
}

ZoomView ZoomAbout(ZoomView view, double factor, double anchorX, double anchorY) {
  view = ClampedZoom(view);
  double px = 0, py = 0;
  PicturePointAt(view, anchorX, anchorY, px, py);
  ZoomView out = view;
  out.zoom = view.zoom * factor;
  out = ClampedZoom(out);
  // The point under the anchor stays under it: the new area starts anchor
  // widths to its left.
  const double side = 1.0 / out.zoom;
  out.centerX = px - anchorX * side + side / 2;
  out.centerY = py - anchorY * side + side / 2;
  return ClampedZoom(out);
}

ZoomView PanBy(ZoomView view, double dx, double dy) {
  view = ClampedZoom(view);
  view.centerX -= dx / view.zoom;
  view.centerY -= dy / view.zoom;
  return ClampedZoom(view);
}

PixelRect ShownPixels(const ZoomView& view, int width, int height) {
  if (width <= 0 || height <= 0) return {};
  const PictureArea a = ShownArea(view);
  auto span = [](double start, double length, int size, int& first, int& end) {
    const int count = std::clamp(int(std::lround(length * size)), 1, size);
    first = std::clamp(int(std::lround(start * size)), 0, size - count);
    end = first + count;
  };
  PixelRect r;
  span(a.left, a.width, width, r.left, r.right);
  span(a.top, a.height, height, r.top, r.bottom);
  return r;
}

double WheelZoomFactor(int angleEighths) {
  return std::pow(2.0, angleEighths / 480.0);
}

std::string ZoomMark(const ZoomView& view) {
  const ZoomView v = ClampedZoom(view);
  if (v.zoom == 1.0) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%.1fx", v.zoom);
  return text;
}
