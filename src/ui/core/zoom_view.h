#pragma once

#include <string>

#include "ui/core/video_layout.h"

// The digital zoom of one video pane: how far the picture is enlarged and
// which part of it is shown. Positions are fractions of the picture (0 left
// or top, 1 right or bottom), so the view stays where it is whatever size
// the frame was decoded at; ShownPixels turns it into the frame's own pixels.
//
// Invariants kept by every function here: 1 <= zoom <= kMaxPaneZoom, and the
// shown area lies inside the picture (no border is ever pulled in by a pan).
struct ZoomView {
  double zoom = 1.0;
  double centerX = 0.5, centerY = 0.5;  // the shown area's middle
  bool operator==(const ZoomView&) const = default;
};

inline constexpr double kMaxPaneZoom = 8.0;

// A part of the picture, in fractions of it.
struct PictureArea {
  double left = 0, top = 0, width = 1, height = 1;
};

// The view with its zoom in range and its area moved back inside the picture.
ZoomView ClampedZoom(ZoomView view);

// Zooms by `factor` (> 1 enlarges) so that the picture point under
// (anchorX, anchorY), fractions of the pane's picture rectangle, stays under
// it, as far as the picture's edges allow.
ZoomView ZoomAbout(ZoomView view, double factor, double anchorX, double anchorY);

// Moves the picture by (dx, dy), fractions of the pane's picture rectangle,
// the way a drag does: dragging right shows more of the left.
ZoomView PanBy(ZoomView view, double dx, double dy);

// The part of the picture the view shows.
PictureArea ShownArea(const ZoomView& view);

// The shown area in whole pixels of a width × height picture: never empty,
// never outside it. At zoom 1 the whole picture.
PixelRect ShownPixels(const ZoomView& view, int width, int height);

// The picture point, fractions of the whole picture, under the pane point
// (x, y), fractions of the pane's picture rectangle.
void PicturePointAt(const ZoomView& view, double x, double y, double& pictureX, double& pictureY);

// The zoom a wheel turn of `angleEighths` (Qt's angle delta: 120 a notch,
// negative towards the user) multiplies by: four notches double it.
double WheelZoomFactor(int angleEighths);

// The pane's mark for a zoom, "2.0x"; "" at 1x.
std::string ZoomMark(const ZoomView& view);
