#pragma once

// The map of a range for the report: the map source's picture around the
// vehicle's position at the start of the range, zoomed so the range's whole
// track fits, with the track drawn over it. The map caches are read first
// (the recording's map cache file, never written; the tile cache on disk);
// what they lack is asked of the map source within one time-out.
//
// Threads: blocks the calling thread while the map source answers; never
// call it on the window thread. Needs a Qt GUI application object.

#include <QImage>
#include <atomic>
#include <string>
#include <vector>

#include "map/map_source.h"
#include "map/proxy_config.h"
#include "report/incident_facts.h"

namespace report {

struct RangeMapPicture {
  QImage image;      // null when no map could be had
  std::string note;  // why there is no map, or what is missing from it; "" for a whole map
  int zoom = 0;
};

struct MapAccess {
  MapSource source;
  ProxyConfig proxy;
};

RangeMapPicture DrawRangeMap(const std::string& recording, const std::vector<GeoPosition>& track,
                             const MapAccess& access, const std::atomic<bool>& cancel);

}  // namespace report
