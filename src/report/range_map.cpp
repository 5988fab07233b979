#include "report/range_map.h"

#include "map/map_cache_file.h"
#include "map/map_composer.h"
#include "map/map_tile_store.h"
#include "map/tile_disk_cache.h"
#include "report/report_layout_math.h"

namespace report {

RangeMapPicture DrawRangeMap(const std::string& recording, const std::vector<GeoPosition>& track,
                             const MapAccess& access, const std::atomic<bool>& cancel) {
  RangeMapPicture map;
  if (track.empty()) {
    map.note = "No map: the range holds no GPS position.";
    return map;
  }
  std::vector<GeoPoint> points;
  for (const GeoPosition& p : track) points.push_back({p.latitude, p.longitude});
  map.zoom = ZoomToShow(points.front(), points, kViewSize, 24);
  // A report never writes beside the recording: its map cache is only read.
  MapTileStore store(MapCachePath(recording), /*writable=*/false);
  const TileDiskCache tiles(TileDiskCache::DefaultRoot(), access.source.tileTemplate);
  MapComposer composer(access.source, access.proxy, &store, &tiles, &cancel);
  const MapPicture picture = composer.Compose(points.front(), map.zoom, points);
  map.image = picture.image;
  if (picture.status == MapStatus::kShown) return map;
  std::string reason = StatusText(picture.status);
  if (!composer.LastError().empty()) reason += " (" + composer.LastError() + ")";
  map.note = (map.image.isNull() ? "No map: " : "Part of the map is missing: ") + reason + ".";
  return map;
}

}  // namespace report
