#pragma once

// Where positions land in the map view: the view is kViewSize pixels square
// (or as wide and high as asked) with the centre position in its middle. Plain C++, any thread.

#include <vector>

#include "map/map_source.h"
#include "map/tile_math.h"

struct ViewPixel {
  double x = 0, y = 0;
};

// View pixels per world pixel: 1 for tiles; the static-map picture is
// kStaticMapSize pixels stretched to kViewSize.
double ViewScale(MapSourceKind kind);

// The view pixel of `point` in the view centred on `centre` at `zoom`.
ViewPixel ProjectToView(const GeoPoint& point, const GeoPoint& centre, int zoom, double scale,
                        int viewSize = kViewSize);

// The same in a view of `width` × `height` pixels, and the position at a
// pixel of that view.
ViewPixel ProjectToView(const GeoPoint& point, const GeoPoint& centre, int zoom, double scale, int width,
                        int height);
GeoPoint PositionOfView(const ViewPixel& pixel, const GeoPoint& centre, int zoom, double scale, int width,
                        int height);

// Every point of `track` projected into the view (points outside the view
// keep their outside coordinates, so lines into the view are drawn right).
std::vector<ViewPixel> ProjectTrack(const std::vector<GeoPoint>& track, const GeoPoint& centre, int zoom,
                                    double scale, int viewSize = kViewSize);
