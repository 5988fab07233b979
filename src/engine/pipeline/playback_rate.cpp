#include "engine/pipeline/playback_rate.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kRates[kRateSteps] = {0.125, 0.25, 0.5, 1, 2, 4, 8, 16};
constexpr int64_t kDisplayPeriodNs = 1'000'000'000 / 30;
constexpr double kThinFrom = 4;
}  // namespace

double RateAtStep(int step) {
  return kRates[std::clamp(step, 0, kRateSteps - 1)];
}

int StepOfRate(double rate) {
  int best = kNormalRateStep;
  for (int i = 0; i < kRateSteps; ++i) {
    if (std::abs(std::log2(kRates[i]) - std::log2(std::max(rate, 1e-6))) <
        std::abs(std::log2(kRates[best]) - std::log2(std::max(rate, 1e-6))))
      best = i;
  }
  return best;
}

double NextRate(double rate, int direction) {
  return RateAtStep(StepOfRate(rate) + (direction < 0 ? -1 : 1));
}

std::string RateText(double rate) {
  const double r = RateAtStep(StepOfRate(rate));
  if (r < 1) return "1/" + std::to_string(int(std::lround(1 / r))) + "x";
  return std::to_string(int(std::lround(r))) + "x";
}

bool SoundAtRate(double rate) {
  return rate >= 0.5 && rate <= 2;
}

int64_t ThinningSpanNs(double rate) {
  return rate >= kThinFrom ? int64_t(rate * double(kDisplayPeriodNs)) : 0;
}

bool KeepThinnedFrame(int64_t ptsNs, int64_t spanNs, int64_t& lastSpan) {
  if (spanNs <= 0 || ptsNs < 0) return true;
  // Half a display period on, so that a span never starts exactly on a
  // frame's stamp, where rounding would pick the frame before or after.
  const int64_t span = (ptsNs + kDisplayPeriodNs / 2) / spanNs;
  if (span <= lastSpan) return false;
  lastSpan = span;
  return true;
}
