#include "map/track_projection.h"

double ViewScale(MapSourceKind kind) {
  return kind == MapSourceKind::kStaticMap ? double(kViewSize) / kStaticMapSize : 1.0;
}

ViewPixel ProjectToView(const GeoPoint& point, const GeoPoint& centre, int zoom, double scale, int viewSize) {
  return ProjectToView(point, centre, zoom, scale, viewSize, viewSize);
}

ViewPixel ProjectToView(const GeoPoint& point, const GeoPoint& centre, int zoom, double scale, int width,
                        int height) {
  const WorldPixel p = ProjectToWorld(point, zoom);
  const WorldPixel c = ProjectToWorld(centre, zoom);
  return {width / 2.0 + (p.x - c.x) * scale, height / 2.0 + (p.y - c.y) * scale};
}

GeoPoint PositionOfView(const ViewPixel& pixel, const GeoPoint& centre, int zoom, double scale, int width,
                        int height) {
  const WorldPixel c = ProjectToWorld(centre, zoom);
  return PositionOfWorld({c.x + (pixel.x - width / 2.0) / scale, c.y + (pixel.y - height / 2.0) / scale},
                         zoom);
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
