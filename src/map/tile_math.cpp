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

GeoPoint PositionOfWorld(const WorldPixel& pixel, int zoom) {
  const double world = kTileSize * std::ldexp(1.0, zoom);
  const double n = std::numbers::pi * (1 - 2 * pixel.y / world);
  return {std::atan(std::sinh(n)) * 180.0 / std::numbers::pi, pixel.x / world * 360.0 - 180.0};
}

std::vector<PlacedTile> TilesForView(const GeoPoint& centre, int zoom, int viewSize) {
  return TilesForView(centre, zoom, viewSize, viewSize);
}

std::vector<PlacedTile> TilesForView(const GeoPoint& centre, int zoom, int width, int height) {
  std::vector<PlacedTile> tiles;
  if (zoom < 0 || zoom > 30 || width <= 0 || height <= 0) return tiles;
  const WorldPixel c = ProjectToWorld(centre, zoom);
  const double left = c.x - width / 2.0, top = c.y - height / 2.0;
  const int64_t count = int64_t(1) << zoom;
  const int64_t firstX = int64_t(std::floor(left / kTileSize));
  const int64_t lastX = int64_t(std::floor((left + width - 1) / kTileSize));
  const int64_t firstY = int64_t(std::floor(top / kTileSize));
  const int64_t lastY = int64_t(std::floor((top + height - 1) / kTileSize));
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

GeoPoint MiddleOfPoints(const std::vector<GeoPoint>& points) {
  if (points.empty()) return {};
  // The box is taken on the map, not in degrees: the middle of a tall box
  // lies nearer the pole on Web Mercator.
  constexpr int kZoom = 20;
  WorldPixel low = ProjectToWorld(points.front(), kZoom), high = low;
  for (const GeoPoint& p : points) {
    const WorldPixel w = ProjectToWorld(p, kZoom);
    low = {std::min(low.x, w.x), std::min(low.y, w.y)};
    high = {std::max(high.x, w.x), std::max(high.y, w.y)};
  }
  return PositionOfWorld({(low.x + high.x) / 2, (low.y + high.y) / 2}, kZoom);
}

int ZoomToShow(const GeoPoint& centre, const std::vector<GeoPoint>& points, int width, int height, int margin,
               int maxZoom) {
  const double roomX = width / 2.0 - margin, roomY = height / 2.0 - margin;
  for (int zoom = maxZoom; zoom > kMinZoom; --zoom) {
    const WorldPixel c = ProjectToWorld(centre, zoom);
    const bool fits = std::all_of(points.begin(), points.end(), [&](const GeoPoint& p) {
      const WorldPixel w = ProjectToWorld(p, zoom);
      return std::abs(w.x - c.x) <= roomX && std::abs(w.y - c.y) <= roomY;
    });
    if (fits) return zoom;
  }
  return kMinZoom;
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
