#pragma once

// The positions of a trip as a track: records turned into degrees and UTC
// times, with the positions no vehicle can have left out and counted.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/metadata_scan.h"
#include "metadata/metadata_sample.h"

namespace evidence {

struct TrackPoint {
  double latitude = 0;  // decimal degrees, as the metadata decoder gives them
  double longitude = 0;
  int64_t utcMillis = 0;  // milliseconds since 1970-01-01 UTC
  uint32_t speedKmh = 0;
};

struct Track {
  std::string name;
  // A note for the reader (the DVR clock correction); "" writes none.
  std::string description;
  std::vector<TrackPoint> points;
  int64_t zeroPositions = 0;    // records whose latitude and longitude are both exactly 0 (no fix)
  int64_t impossibleJumps = 0;  // records farther from the last kept point than any vehicle can go
};

// Fastest believable movement between two records. A jump is measured over
// at least one second, so the millisecond steps of consecutive frames don't
// turn GPS jitter into impossible speeds.
inline constexpr double kTrackMaxMetresPerSecond = 100.0;

// Records in time order → the track. After five jumps in a row the vehicle
// really is somewhere else (the point kept before was the bad fix, or the
// clock was wrong): tracking goes on from there. Positions outside the
// earth's ranges count as jumps.
Track BuildTrack(const std::vector<MetadataSample>& records, const std::string& name);

// The records of a scanned run whose time on the run's timeline lies in
// [fromCentis, toCentis), in order.
std::vector<MetadataSample> ScannedSamples(const RecordingScan& scan, int64_t fromCentis = INT64_MIN,
                                           int64_t toCentis = INT64_MAX);

// Great-circle distance in metres.
double DistanceMetres(double lat1, double lon1, double lat2, double lon2);

// "2011-03-01T14:05:09.007Z".
std::string Iso8601Utc(int64_t utcMillis);

}  // namespace evidence
