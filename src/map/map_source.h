#pragma once

// Where map pictures come from: a static-map web service that answers one
// 300 × 300 JPEG for a centre and zoom, or a slippy-map server of 256-pixel
// raster tiles addressed by a URL template. Plain C++, any thread.

#include <string>

#include "map/proxy_config.h"
#include "map/tile_math.h"

// Names of the stored values that choose the source.
inline constexpr const char* kMapSourceSetting = "MapSource";    // "tiles" or "static"
inline constexpr const char* kMapTileUrlSetting = "MapTileUrl";  // template with {z}/{x}/{y}
inline constexpr const char* kMapAttributionSetting = "MapAttribution";
inline constexpr const char* kMapStaticUrlSetting = "MapStaticUrl";  // the static-map service's base
inline constexpr const char* kMapKeySetting = "MapKey";              // its access key

enum class MapSourceKind { kStaticMap, kTiles };

struct MapSource {
  MapSourceKind kind = MapSourceKind::kTiles;
  // Static-map service: scheme and host (and an optional path prefix), and an
  // access key appended as "&key=" when not empty.
  std::string staticBaseUrl = "https://maps.googleapis.com";
  std::string accessKey;
  // Slippy-map server: {z}, {x} and {y} are replaced by the tile's numbers.
  std::string tileTemplate = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
  // Shown on the map, as tile servers require.
  std::string attribution = "\u00a9 OpenStreetMap contributors";
};

// The source the settings name. `kind`: "static" (ignoring case) picks the
// static-map service, anything else the tile server; empty texts keep the
// defaults above.
MapSource MapSourceFromSettings(const std::string& kind, const std::string& staticBaseUrl,
                                const std::string& accessKey, const std::string& tileTemplate,
                                const std::string& attribution);

// The same from the store.
MapSource ReadMapSource(const SettingReader& read);

// The static-map service's picture is this many pixels square; the window
// shows it stretched to kViewSize.
inline constexpr int kStaticMapSize = 300;

// The static-map request for a centre and zoom: the base URL followed by
// "/maps/api/staticmap?center=%.6f,%.6f&zoom=%d&size=300x300&maptype=roadmap
// &sensor=true&format=jpg&markers=size:tiny|color:blue|%.6f,%.6f", then the
// access key. A trailing "/" of the base is not doubled.
std::string StaticMapUrl(const MapSource& source, const GeoPoint& centre, int zoom);

// The template with {z}, {x} and {y} replaced (every occurrence).
std::string TileUrl(const std::string& tileTemplate, const TileKey& tile);

// Whether a body may be a static-map picture: more than 100 bytes that start
// with the JPEG start marker FF D8.
bool LooksLikeStaticMapImage(const std::string& body);
