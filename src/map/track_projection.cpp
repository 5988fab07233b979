#include "map/track_projection.h"

double ViewScale(MapSourceKind kind) {
  return kind == MapSourceKind::kStaticMap ? double(kViewSize) / kStaticMapSize : 1.0;
}

ViewPixel ProjectToView(const GeoPoint& point, const GeoPoint& centre, int zoom, double scale, int viewSize) {
  const WorldPixel p = ProjectToWorld(point, zoom);
  const WorldPixel c = ProjectToWorld(centre, zoom);
  return {viewSize / 2.0 + (p.x - c.x) * scale, viewSize / 2.0 + (p.y - c.y) * scale};
}

std::vector<ViewPixel> ProjectTrack(const std::vector<GeoPoint>& track, const GeoPoint& centre, int zoom,
                                    double scale, int viewSize) {
  std::vector<ViewPixel> out;
  out.reserve(track.size());
  const WorldPixel c = ProjectToWorld(centre, zoom);
  for (const GeoPoint& point : track) {
    const WorldPixel p = ProjectToWorld(point, zoom);
    out.push_back({viewSize / 2.0 + (p.x - c.x) * scale, viewSize / 2.0 + (p.y - c.y) * scale});
  }
  return out;
}
