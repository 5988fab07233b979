#pragma once

// Web Mercator maths for the map view: positions to pixels of the world map
// at a zoom level (256 × 2^zoom pixels square, x east, y south), the tiles
// of a slippy-map server that cover the view around the vehicle, and the
// zoom limits of the map window. Plain C++, any thread.

#include <cstdint>
#include <vector>

inline constexpr int kMinZoom = 2;
inline constexpr int kMaxZoom = 20;
inline constexpr int kStartZoom = 15;
inline constexpr int kTileSize = 256;  // pixels of a slippy-map tile
inline constexpr int kViewSize = 400;  // the map window's square picture

// The latitudes Web Mercator can show; positions beyond are drawn at the edge.
inline constexpr double kMercatorLatitudeLimit = 85.0511287798;

struct GeoPoint {
  double latitude = 0;   // decimal degrees, south negative
  double longitude = 0;  // decimal degrees, west negative
  bool operator==(const GeoPoint&) const = default;
};

struct WorldPixel {
  double x = 0, y = 0;
};

// The position's pixel on the world map at `zoom`.
WorldPixel ProjectToWorld(const GeoPoint& point, int zoom);
// The position at a pixel of the world map at `zoom` (ProjectToWorld undone).
GeoPoint PositionOfWorld(const WorldPixel& pixel, int zoom);

struct TileKey {
  int zoom = 0, x = 0, y = 0;
  bool operator==(const TileKey&) const = default;
  auto operator<=>(const TileKey&) const = default;
};

struct PlacedTile {
  TileKey key;
  int left = 0, top = 0;  // where the tile's top-left corner lands in the view
};

// The tiles that cover a view of `viewSize` pixels square centred on
// `centre` at `zoom`, with their places in the view. x wraps round the
// antimeridian; rows beyond the poles are left out.
std::vector<PlacedTile> TilesForView(const GeoPoint& centre, int zoom, int viewSize = kViewSize);
// The same for a view of `width` × `height` pixels.
std::vector<PlacedTile> TilesForView(const GeoPoint& centre, int zoom, int width, int height);

// A view that shows a set of points: the middle of their box on the map,
// and the highest zoom (kMinZoom..maxZoom) at which every point lies at
// least `margin` pixels inside a view of `width` × `height` centred on
// `centre` (maxZoom when there are no points).
GeoPoint MiddleOfPoints(const std::vector<GeoPoint>& points);
int ZoomToShow(const GeoPoint& centre, const std::vector<GeoPoint>& points, int width, int height, int margin,
               int maxZoom);

// The zoom after one press of a zoom button, and whether each button stays
// usable at a zoom: the buttons never leave kMinZoom..kMaxZoom.
int ZoomedIn(int zoom);
int ZoomedOut(int zoom);
bool CanZoomIn(int zoom);
bool CanZoomOut(int zoom);
