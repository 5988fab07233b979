#include "map/trip_track.h"

#include <sys/stat.h>

#include <algorithm>
#include <mutex>

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

namespace {

struct TrackKey {
  std::string path;
  long long size = -1, modifiedNs = -1;
  bool operator==(const TrackKey&) const = default;
};

TrackKey KeyOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {path};
  return {path, (long long)st.st_size, (long long)st.st_mtim.tv_sec * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::mutex gTrackLock;  // guards the two below; never held while scanning
TrackKey gTrackKey;
std::shared_ptr<const TripTrack> gTrack;

}  // namespace

std::shared_ptr<const TripTrack> SharedTripTrack(const std::string& path, const std::atomic<bool>* cancel) {
  const TrackKey key = KeyOf(path);
  {
    std::lock_guard<std::mutex> l(gTrackLock);
    if (gTrack && gTrackKey == key) return gTrack;
  }
  auto track = std::make_shared<const TripTrack>(LoadTripTrack(path, cancel));
  if (cancel && cancel->load()) return track;
  std::lock_guard<std::mutex> l(gTrackLock);
  gTrackKey = key;
  gTrack = track;
  return track;
}

std::optional<GeoPoint> PositionAt(const TripTrack& track, int64_t centis) {
  if (track.points.empty()) return std::nullopt;
  auto after = std::upper_bound(track.points.begin(), track.points.end(), centis,
                                [](int64_t c, const TrackPoint& p) { return c < p.centis; });
  if (after == track.points.begin()) return track.points.front().position;
  return std::prev(after)->position;
}
