#pragma once

// The static-map pictures known for a recording: those of its map cache file
// and every one fetched since, each for a (latitude, longitude, zoom) key.
// A new picture is kept in memory and appended to the cache file.
//
// Threads: any. One lock guards the list and is held only for searches and
// updates; appends to the file have a lock of their own, so a lookup never
// waits for the disk.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "map/map_cache_file.h"
#include "map/tile_math.h"

// The position a picture is kept under: each coordinate as the six decimals
// the banner shows and the static-map request carries. The window hands the
// map the banner's text and the headless map mode the full value decoded
// from the metadata; both find the same record through this key.
GeoPoint MapCacheKey(const GeoPoint& position);

class MapTileStore {
 public:
  // Loads `cachePath`'s valid records; an empty path keeps nothing on disk,
  // and a store that is not `writable` only reads the file.
  explicit MapTileStore(const std::string& cachePath, bool writable = true);

  // The picture for the position's key (MapCacheKey) and zoom, or none.
  std::optional<std::vector<uint8_t>> Image(const GeoPoint& position, int zoom) const;
  // Keeps `image` for the key and appends it to the cache file (when the file
  // is usable; the picture is kept in memory either way).
  void Add(const GeoPoint& position, int zoom, std::vector<uint8_t> image);

  std::size_t Size() const;
  bool HasFile() const;

 private:
  mutable std::mutex lock_;
  std::vector<MapCacheRecord> tiles_;  // newest last; a later record of the same key wins
  std::mutex fileLock_;
  std::unique_ptr<MapCacheFile> file_;
};
