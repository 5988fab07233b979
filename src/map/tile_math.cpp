#include "map/tile_math.h"

#include <algorithm>
#include <cmath>
#include <numbers>

WorldPixel ProjectToWorld(const GeoPoint& point, int zoom) {
  const double world = kTileSize * std::ldexp(1.0, zoom);
  const double lat = std::clamp(point.latitude, -kMercatorLatitudeLimit, kMercatorLatitudeLimit);
  const double sinLat = std::sin(lat * std::numbers::pi / 180.0);
  const double x = (point.longitude + 180.0) / 360.0 * world;
  const double y = (0.5 - std::log((1 + sinLat) / (1 - sinLat)) / (4 * std::numbers::pi)) * world;
  return {x, y};
}

std::vector<PlacedTile> TilesForView(const GeoPoint& centre, int zoom, int viewSize) {
  std::vector<PlacedTile> tiles;
  if (zoom < 0 || zoom > 30 || viewSize <= 0) return tiles;
  const WorldPixel c = ProjectToWorld(centre, zoom);
  const double left = c.x - viewSize / 2.0, top = c.y - viewSize / 2.0;
  const int64_t count = int64_t(1) << zoom;
  const int64_t firstX = int64_t(std::floor(left / kTileSize));
  const int64_t lastX = int64_t(std::floor((left + viewSize - 1) / kTileSize));
  const int64_t firstY = int64_t(std::floor(top / kTileSize));
  const int64_t lastY = int64_t(std::floor((top + viewSize - 1) / kTileSize));
  for (int64_t ty = firstY; ty <= lastY; ++ty) {
    if (ty < 0 || ty >= count) continue;
    for (int64_t tx = firstX; tx <= lastX; ++tx) {
      const int64_t wrapped = ((tx % count) + count) % count;
      tiles.push_back({{zoom, int(wrapped), int(ty)},
                       int(std::lround(double(tx * kTileSize) - left)),
                       int(std::lround(double(ty * kTileSize) - top))});
    }
  }
  return tiles;
}

int ZoomedIn(int zoom) {
  return std::min(zoom + 1, kMaxZoom);
}
int ZoomedOut(int zoom) {
  return std::max(zoom - 1, kMinZoom);
}
bool CanZoomIn(int zoom) {
  return zoom < kMaxZoom;
}
bool CanZoomOut(int zoom) {
  return zoom > kMinZoom;
}
