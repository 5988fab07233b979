#include "metadata/speed_unit.h"

#include <algorithm>
#include <atomic>
#include <cctype>

namespace {

std::atomic<SpeedUnit> g_unit{SpeedUnit::kMph};

}  // namespace

SpeedUnit DisplaySpeedUnit() {
  return g_unit.load();
}

void SetDisplaySpeedUnit(SpeedUnit unit) {
  g_unit.store(unit);
}

int64_t SpeedInUnit(uint32_t kmh, SpeedUnit unit) {
  return unit == SpeedUnit::kKmh ? int64_t(kmh) : static_cast<int64_t>(kmh * 0.621371192);
}

const char* SpeedUnitName(SpeedUnit unit) {
  return unit == SpeedUnit::kKmh ? "km/h" : "mph";
}

std::string SpeedText(uint32_t kmh, SpeedUnit unit) {
  const std::string number = std::to_string(SpeedInUnit(kmh, unit));
  return unit == SpeedUnit::kMph ? number : number + " " + SpeedUnitName(unit);
}

bool ParseSpeedUnit(const std::string& text, SpeedUnit& unit) {
  std::string t = text;
  std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (t == "mph") return unit = SpeedUnit::kMph, true;
  if (t == "km/h" || t == "kmh") return unit = SpeedUnit::kKmh, true;
  return false;
}
