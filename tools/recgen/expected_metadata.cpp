#include "expected_metadata.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace recgen {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStartLatitude = 49.0 + 16.4567 / 60.0;
constexpr double kStartLongitude = -(122.0 + 39.3 / 60.0);

// Decimal degrees → the DVR's DD.MMmmmm × 1,000,000 packing.
int32_t PackDegrees(double degrees) {
  const double a = std::fabs(degrees);
  double whole = std::floor(a);
  double minutesE4 = std::floor((a - whole) * 60.0 * 10000.0 + 0.5);
  if (minutesE4 >= 600000) minutesE4 -= 600000, whole += 1;
  const int32_t packed = int32_t(whole * 1000000 + minutesE4);
  return degrees < 0 ? -packed : packed;
}

struct Position {
  double latitude, longitude;
};

Position RouteAt(const RecordingOptions& o, double seconds) {
  if (!o.route.empty()) {
    const std::vector<Waypoint>& r = o.route;
    if (seconds <= r.front().seconds) return {r.front().latitude, r.front().longitude};
    for (std::size_t i = 1; i < r.size(); ++i) {
      if (seconds > r[i].seconds) continue;
      const double f = (seconds - r[i - 1].seconds) / (r[i].seconds - r[i - 1].seconds);
      return {r[i - 1].latitude + f * (r[i].latitude - r[i - 1].latitude),
              r[i - 1].longitude + f * (r[i].longitude - r[i - 1].longitude)};
    }
    return {r.back().latitude, r.back().longitude};
  }
  const double angle = 2 * kPi * seconds / 600.0;
  return {kStartLatitude + 0.003 * std::sin(angle), kStartLongitude + 0.0045 * (std::cos(angle) - 1.0)};
}

// Degrees → whole degrees, minutes, seconds for the text lines.
void SplitDms(double degrees, int& d, int& m, int& s) {
  int total = int(std::floor(std::fabs(degrees) * 3600.0 + 0.5));
  d = total / 3600;
  m = total / 60 % 60;
  s = total % 60;
}

}  // namespace

int64_t FrameMilliseconds(const RecordingOptions& o, int64_t globalFrame) {
  return int64_t(std::floor(double(globalFrame) * 1000.0 / o.fps + 0.5));
}

MetadataSample ExpectedMetadata(const RecordingOptions& o, int channel, int64_t frameIndex) {
  const int64_t g = o.firstFrame + frameIndex;
  const int64_t ms = FrameMilliseconds(o, g);
  const double t = double(ms) / 1000.0;
  MetadataSample m;
  m.utcSeconds = uint32_t(o.startUtc + uint64_t(ms / 1000));
  m.milliseconds = int32_t(ms % 1000);
  for (const FrameFault& f : o.faults) {
    if (f.kind != FaultKind::kClockBack || frameIndex < f.frame) continue;
    const int64_t shifted = int64_t(m.utcSeconds) * 1000 + m.milliseconds - std::llround(f.seconds * 1000);
    m.utcSeconds = uint32_t(std::max<int64_t>(shifted, 0) / 1000);
    m.milliseconds = int32_t(std::max<int64_t>(shifted, 0) % 1000);
  }
  m.localSeconds = uint32_t(int64_t(m.utcSeconds) + kLocalOffsetSeconds);
  const int64_t wholeSeconds = ms / 1000;
  m.triggerBits = 1u << ((wholeSeconds / 2) % 11);
  if (ms % 5000 < 500) m.triggerBits |= 1u;
  m.satellites = 5 + channel;
  const Position p = RouteAt(o, t);
  m.latitude = PackDegrees(p.latitude);
  m.longitude = PackDegrees(p.longitude);
  m.speed = uint32_t(std::lround(40.0 + 30.0 * std::sin(2 * kPi * t / 60.0)));
  m.accelX = int8_t(std::lround(5.0 * std::sin(2 * kPi * t / 7.0)));
  m.accelY = int8_t(std::lround(3.0 * std::cos(2 * kPi * t / 5.0)));
  m.accelZ = int8_t(10 + (g % 7 == 0 ? 2 : 0));
  if (o.scripted) {
    m.triggerBits = 0;
    m.accelX = 0;
    m.accelY = 0;
    m.accelZ = 10;
    for (const Incident& inc : o.incidents) {
      // A periodic happening: the time folded back into its first period.
      // In whole milliseconds, so frame times on a period's multiple land exactly on it.
      double u = t;
      if (inc.period > 0 && t >= inc.start) {
        const int64_t startMs = std::llround(inc.start * 1000),
                      periodMs = std::max<int64_t>(1, std::llround(inc.period * 1000));
        u = double(startMs + (ms - startMs) % periodMs) / 1000.0;
      }
      if (inc.kind == 't' && u >= inc.start && u < inc.end) m.triggerBits |= 1u << inc.value;
      const bool inFrame = u >= inc.start && u < inc.start + 1.0 / o.fps;
      if (inc.kind == 'x' && inFrame) m.accelX = int8_t(inc.value);
      if (inc.kind == 'y' && inFrame) m.accelY = int8_t(inc.value);
    }
  }
  return m;
}

std::array<std::string, 3> ExpectedTextLines(const RecordingOptions& o, int channel, int64_t frameIndex) {
  const MetadataSample m = ExpectedMetadata(o, channel, frameIndex);
  const std::time_t local = std::time_t(m.localSeconds);
  std::tm tm{};
  gmtime_r(&local, &tm);
  const double t = double(FrameMilliseconds(o, o.firstFrame + frameIndex)) / 1000.0;
  const Position p = RouteAt(o, t);
  int latD, latM, latS, lonD, lonM, lonS;
  SplitDms(p.latitude, latD, latM, latS);
  SplitDms(p.longitude, lonD, lonM, lonS);
  const int mph = int(m.speed * 0.621371192);
  char line1[64], line2[64], line3[64];
  std::snprintf(line1, sizeof line1, "%02d/%02d/%02d UNIT%02d  %03dK %02d:%02d:%02d", tm.tm_mon + 1,
                tm.tm_mday, tm.tm_year % 100, channel % 100, int(m.speed % 1000), tm.tm_hour, tm.tm_min,
                tm.tm_sec);
  std::snprintf(line2, sizeof line2, "Lat  %02d\xB0%02d'%02d\"%c %03dmph %02d sats", latD % 100, latM, latS,
                p.latitude < 0 ? 'S' : 'N', mph % 1000, m.satellites % 100);
  std::snprintf(line3, sizeof line3, "Lon %03d\xB0%02d'%02d\"%c  HDG%03d ALT%03d", lonD % 1000, lonM, lonS,
                p.longitude < 0 ? 'W' : 'E', int(std::lround(t * 0.6)) % 360, int(m.accelZ) * 10 % 1000);
  return {line1, line2, line3};
}

}  // namespace recgen
