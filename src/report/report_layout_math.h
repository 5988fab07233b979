#pragma once

// The arithmetic of the report's drawings: round axis steps for the graphs
// and the map zoom that shows a whole range around its start. Plain C++.

#include <vector>

#include "map/tile_math.h"

namespace report {

// An axis from `low` to `high` in steps of `step`, all round numbers
// (1, 2 or 5 times a power of ten), covering the values given.
struct AxisScale {
  double low = 0, high = 1, step = 1;
};

// The axis covering [minValue, maxValue] in about `ticks` steps. An empty
// or flat range still gets a span (one step around the value).
AxisScale RoundAxis(double minValue, double maxValue, int ticks = 5);

// The highest zoom (kMinZoom..maxZoom) at which every point of `points`
// lies at least `margin` pixels inside a view of `viewSize` pixels square
// centred on `centre`; maxZoom when there are no points.
int ZoomToShow(const GeoPoint& centre, const std::vector<GeoPoint>& points, int viewSize, int margin,
               int maxZoom = 17);

}  // namespace report
