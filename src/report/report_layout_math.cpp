#include "report/report_layout_math.h"

#include <algorithm>
#include <cmath>

namespace report {

AxisScale RoundAxis(double minValue, double maxValue, int ticks) {
  if (!(maxValue >= minValue)) minValue = maxValue = 0;
  ticks = std::max(1, ticks);
  double span = maxValue - minValue;
  if (span <= 0) span = std::max(1.0, std::abs(maxValue));
  const double raw = span / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * power;
    if (step >= raw * (1 - 1e-9)) break;
  }
  AxisScale axis;
  axis.step = step;
  axis.low = std::floor(minValue / step + 1e-9) * step;
  axis.high = std::ceil(maxValue / step - 1e-9) * step;
  if (axis.high <= axis.low) axis.high = axis.low + step;
  return axis;
}

int ZoomToShow(const GeoPoint& centre, const std::vector<GeoPoint>& points, int viewSize, int margin,
               int maxZoom) {
  return ::ZoomToShow(centre, points, viewSize, viewSize, margin, maxZoom);
}

}  // namespace report
