#pragma once

// The vehicle's whole track through a recording (or the numbered run it
// starts): every position its metadata records, in time order, for drawing
// over the map. Plain C++, any thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/metadata_scan.h"
#include "map/tile_math.h"

struct TrackPoint {
  int64_t centis = 0;  // on the run's timeline, hundredths of a second
  GeoPoint position;
};

struct TripTrack {
  std::vector<TrackPoint> points;  // in time order; repeats of a standing vehicle kept once
  std::vector<GeoPoint> Positions() const;
};

// The track of a scan. Records without a fix (latitude or longitude exactly
// 0) are left out, and so is a record that repeats the previous position.
TripTrack TripTrackFromScan(const RecordingScan& scan);

// Scans the recording at `path` (ScanRecording) and returns its track; stops
// early with what was read when `cancel` turns true.
TripTrack LoadTripTrack(const std::string& path, const std::atomic<bool>* cancel = nullptr);

// The same, scanned once per recording: the last complete scan is kept for
// the process (while the first file keeps its size and modification time),
// so a map window opened again on the same recording draws its track at
// once. A cancelled scan is not kept. Any thread.
std::shared_ptr<const TripTrack> SharedTripTrack(const std::string& path, const std::atomic<bool>* cancel);

// The vehicle's position at `centis`: the last point at or before it, the
// first point before the track starts; none for an empty track.
std::optional<GeoPoint> PositionAt(const TripTrack& track, int64_t centis);
