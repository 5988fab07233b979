#pragma once

// Where positions land in the map view: the view is kViewSize pixels square
// with the centre position in its middle. Plain C++, any thread.

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

// Every point of `track` projected into the view (points outside the view
// keep their outside coordinates, so lines into the view are drawn right).
std::vector<ViewPixel> ProjectTrack(const std::vector<GeoPoint>& track, const GeoPoint& centre, int zoom,
                                    double scale, int viewSize = kViewSize);
