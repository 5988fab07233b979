#pragma once

// Draws the map window's 400 × 400 picture around the vehicle: the source's
// map (a static-map picture stretched to the view, or the slippy-map tiles
// that cover it, with the server's attribution), the whole track and the
// vehicle's position. A view of another size (the library's map of its
// results) gets the map alone. Fetches what the caches lack with a CWebGrab.
//
// Threads: a composer belongs to the thread that composes with it (its
// CWebGrab does); requests block that thread, bounded by the time-out and
// the cancel flag. QImage and QPainter only, no widgets.

#include <QImage>
#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "map/map_source.h"
#include "map/proxy_config.h"
#include "map/tile_math.h"
#include "map/web_grab.h"

class MapTileStore;

inline constexpr std::chrono::milliseconds kTileRetryPause{1000};
class TileDiskCache;

enum class MapStatus {
  kShown,       // the whole view is drawn
  kNoMap,       // a picture (or a tile) could not be had: "No Map Tile Available"
  kProxyError,  // an answer looked like a picture but did not decode: "Proxy Error"
};

// The window's status texts.
inline constexpr const char* kNoMapText = "No Map Tile Available";
inline constexpr const char* kProxyErrorText = "Proxy Error";
const char* StatusText(MapStatus status);  // "" for kShown

struct MapPicture {
  QImage image;  // the view's size (kViewSize square); null when there is nothing to show
  MapStatus status = MapStatus::kNoMap;
};

// The colours the track and the vehicle are drawn in.
inline constexpr unsigned kTrackColour = 0xffd0007a;    // ARGB
inline constexpr unsigned kVehicleColour = 0xff0050ff;  // ARGB
// Where the view has no tile: a plain grey, as without network.
inline constexpr unsigned kBlankMapColour = 0xffdddddd;  // ARGB

class MapComposer {
 public:
  // `store` keeps static-map pictures (required for that source), `tiles`
  // the slippy-map tiles on disk (may be null: memory only). Both outlive
  // the composer.
  MapComposer(MapSource source, ProxyConfig proxy, MapTileStore* store, const TileDiskCache* tiles,
              const std::atomic<bool>* cancel, std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // The view centred on `centre` at `zoom` with `track` drawn over it and
  // the vehicle at the centre.
  MapPicture Compose(const GeoPoint& centre, int zoom, const std::vector<GeoPoint>& track);
  // The map alone in a view of `width` × `height` pixels centred on
  // `centre`; a static-map picture is drawn at the map window's scale in
  // the middle of it.
  MapPicture ComposeMap(const GeoPoint& centre, int zoom, int width, int height);

  int Requests() const { return requests_; }  // HTTP requests made so far
  const std::string& LastError() const { return lastError_; }

 private:
  MapPicture ComposeStatic(const GeoPoint& centre, int zoom, int width, int height);
  MapPicture ComposeTiles(const GeoPoint& centre, int zoom, int width, int height);
  // The tile's picture from memory or disk; without it `ask` says whether to
  // ask the server (a tile that failed is asked for again only after
  // kTileRetryPause) and `status` why there is none.
  std::optional<QImage> KnownTile(const TileKey& key, MapStatus& status, bool& ask);
  // The tile from the server's answer, kept in memory and on disk; none
  // with the status and LastError saying why.
  std::optional<QImage> FetchedTile(const TileKey& key, const WebAnswer& answer, MapStatus& status);
  QImage Remember(const TileKey& key, const QImage& image);
  bool Fetch(const std::string& url, QByteArray& body);

  const MapSource source_;
  MapTileStore* store_;
  const TileDiskCache* tiles_;
  CWebGrab grab_;
  std::map<TileKey, QImage> memory_;  // decoded tiles of this window
  // Tiles whose last request failed, with its time: a tile server is asked
  // again only after a pause (its usage rules forbid hammering it).
  std::map<TileKey, std::chrono::steady_clock::time_point> failed_;
  int requests_ = 0;
  std::string lastError_;
};
