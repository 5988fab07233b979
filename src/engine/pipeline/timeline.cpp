#include "engine/pipeline/timeline.h"

#include <algorithm>
#include <cmath>

int64_t SeekTarget(double perMille, int64_t centis, int64_t total) {
  if (centis >= 0 && centis <= total) return centis;
  if (!std::isfinite(perMille)) return 0;
  const double t = std::trunc(double(total) * (perMille / 1000.0));
  if (t <= 0) return 0;
  if (t >= double(total)) return total;
  return int64_t(t);
}

int64_t StepTarget(int64_t positionCentis, int direction) {
  if (direction <= 0) return std::max<int64_t>(0, positionCentis - kStepCentis);
  return positionCentis + kStepCentis;
}

int FileAt(const std::vector<int64_t>& starts, const std::vector<int64_t>& lengths, int64_t t) {
  const size_t n = std::min(starts.size(), lengths.size());
  for (size_t i = 0; i < n; ++i) {
    if (starts[i] <= t && t < starts[i] + lengths[i]) return int(i);
  }
  return int(n) - 1;
}

double PerMille(int64_t positionCentis, int64_t total) {
  if (total <= 0) return 0.0;
  return double(positionCentis) / double(total) * 1000.0;
}
