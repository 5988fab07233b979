#pragma once

#include <cstdint>
#include <string>

// The unit speeds are shown in. The recorder stores km/h; its own banner
// shows whole miles per hour with no unit, which stays the default. The
// banner, the overlays, the incident timeline and the metadata exports all
// take their speed text from here.
//
// Threads: the choice is one atomic value; the window thread sets it, the
// streaming threads read it for every record.
enum class SpeedUnit { kMph, kKmh };

SpeedUnit DisplaySpeedUnit();
void SetDisplaySpeedUnit(SpeedUnit unit);

// The record's km/h in `unit`, whole numbers: miles per hour truncated, as
// the recorder's banner shows them. 64-bit, so garbage speeds don't wrap.
int64_t SpeedInUnit(uint32_t kmh, SpeedUnit unit);

// "mph" or "km/h".
const char* SpeedUnitName(SpeedUnit unit);

// The speed as the banner and the overlays write it: "37" in mph (the
// recorder's own text), "60 km/h" in km/h, the unit named because it is not
// the recorder's.
std::string SpeedText(uint32_t kmh, SpeedUnit unit);

// "mph" or "km/h" (also "kmh", any case); false for anything else.
bool ParseSpeedUnit(const std::string& text, SpeedUnit& unit);
