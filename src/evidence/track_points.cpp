#include "evidence/track_points.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace evidence {
namespace {

constexpr double kEarthRadiusMetres = 6371008.8;
constexpr int kJumpsBeforeMoving = 5;

}  // namespace

double DistanceMetres(double lat1, double lon1, double lat2, double lon2) {
  const double toRad = M_PI / 180.0;
  const double dLat = (lat2 - lat1) * toRad, dLon = (lon2 - lon1) * toRad;
  const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                   std::cos(lat1 * toRad) * std::cos(lat2 * toRad) * std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(a)));
}

std::string Iso8601Utc(int64_t utcMillis) {
  const std::time_t seconds = std::time_t(utcMillis / 1000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, int(utcMillis % 1000));
  return text;
}

std::vector<MetadataSample> ScannedSamples(const RecordingScan& scan, int64_t fromCentis, int64_t toCentis) {
  std::vector<MetadataSample> samples;
  for (const FileScan& file : scan.files) {
    for (const ScannedRecord& record : file.records) {
      const int64_t centis = TimelineCentis(file, record);
      if (centis >= fromCentis && centis < toCentis) samples.push_back(record.sample);
    }
  }
  return samples;
}

Track BuildTrack(const std::vector<MetadataSample>& records, const std::string& name) {
  Track track;
  track.name = name;
  int jumpsInRow = 0;
  for (const MetadataSample& r : records) {
    if (r.latitude == 0 && r.longitude == 0) {
      ++track.zeroPositions;
      continue;
    }
    TrackPoint p;
    p.latitude = PackedCoordinateToDegrees(r.latitude);
    p.longitude = PackedCoordinateToDegrees(r.longitude);
    p.utcMillis = int64_t(r.utcSeconds) * 1000 + r.milliseconds;
    p.speedKmh = r.speed;
    if (!std::isfinite(p.latitude) || !std::isfinite(p.longitude) || std::fabs(p.latitude) > 90 ||
        std::fabs(p.longitude) >= 180) {
      ++track.impossibleJumps;  // no place on earth
      continue;
    }
    if (!track.points.empty()) {
      const TrackPoint& last = track.points.back();
      const double seconds = std::max(1.0, std::fabs(double(p.utcMillis - last.utcMillis)) / 1000.0);
      if (DistanceMetres(last.latitude, last.longitude, p.latitude, p.longitude) >
              kTrackMaxMetresPerSecond * seconds &&
          ++jumpsInRow < kJumpsBeforeMoving) {
        ++track.impossibleJumps;
        continue;
      }
    }
    jumpsInRow = 0;
    track.points.push_back(p);
  }
  return track;
}

}  // namespace evidence
