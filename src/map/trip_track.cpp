#include "map/trip_track.h"

#include <algorithm>

std::vector<GeoPoint> TripTrack::Positions() const {
  std::vector<GeoPoint> out;
  out.reserve(points.size());
  for (const TrackPoint& p : points) out.push_back(p.position);
  return out;
}

TripTrack TripTrackFromScan(const RecordingScan& scan) {
  TripTrack track;
  for (const FileScan& file : scan.files) {
    for (const ScannedRecord& r : file.records) {
      if (r.sample.latitude == 0 || r.sample.longitude == 0) continue;
      const GeoPoint position{PackedCoordinateToDegrees(r.sample.latitude),
                              PackedCoordinateToDegrees(r.sample.longitude)};
      if (!track.points.empty() && track.points.back().position == position) continue;
      track.points.push_back({file.startCentis + r.centis, position});
    }
  }
  // Files of a run follow each other; a record out of order inside a file
  // must not break the search by time.
  std::stable_sort(track.points.begin(), track.points.end(),
                   [](const TrackPoint& a, const TrackPoint& b) { return a.centis < b.centis; });
  return track;
}

TripTrack LoadTripTrack(const std::string& path, const std::atomic<bool>* cancel) {
  return TripTrackFromScan(ScanRecording(path, cancel));
}

std::optional<GeoPoint> PositionAt(const TripTrack& track, int64_t centis) {
  if (track.points.empty()) return std::nullopt;
  auto after = std::upper_bound(track.points.begin(), track.points.end(), centis,
                                [](int64_t c, const TrackPoint& p) { return c < p.centis; });
  if (after == track.points.begin()) return track.points.front().position;
  return std::prev(after)->position;
}
