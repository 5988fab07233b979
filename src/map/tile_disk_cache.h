#pragma once

// Slippy-map tiles kept on disk for offline review, one file per tile under
// the user's cache folder: <root>/<server>/<z>/<x>/<y>, where <server> is a
// fixed hash of the URL template, so two servers never mix their tiles.
// Writes go to a temporary name and are renamed into place, so a reader
// never sees half a tile. Plain C++; any thread (each call stands alone).

#include <optional>
#include <string>

#include "map/tile_math.h"

class TileDiskCache {
 public:
  // `root` is made on the first write.
  TileDiskCache(std::string root, const std::string& tileTemplate);

  // The user's cache folder for map tiles ($XDG_CACHE_HOME/QMX/Player/tiles,
  // ~/.cache/... without the variable).
  static std::string DefaultRoot();

  // The tile's bytes, or none when it was never stored or cannot be read
  // (files over the image limit count as absent).
  std::optional<std::string> Read(const TileKey& tile) const;
  // Stores the tile; false when it could not be written (nothing is left
  // behind then).
  bool Write(const TileKey& tile, const std::string& bytes) const;

  std::string PathOf(const TileKey& tile) const;

 private:
  std::string folder_;
};
