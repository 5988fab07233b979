#include "map/map_tile_store.h"

#include <cstdio>
#include <cstdlib>

namespace {

double SixDecimals(double degrees) {
  char text[48];
  std::snprintf(text, sizeof text, "%.6f", degrees);
  return std::strtod(text, nullptr);
}

}  // namespace

GeoPoint MapCacheKey(const GeoPoint& position) {
  return {SixDecimals(position.latitude), SixDecimals(position.longitude)};
}

MapTileStore::MapTileStore(const std::string& cachePath, bool writable) {
  if (cachePath.empty()) return;
  file_ = std::make_unique<MapCacheFile>(cachePath, writable);
  if (file_->IsOpen()) tiles_ = file_->Load();
  for (MapCacheRecord& r : tiles_) {
    const GeoPoint key = MapCacheKey({r.latitude, r.longitude});
    r.latitude = key.latitude;
    r.longitude = key.longitude;
  }
  // A missing file is made by the first picture stored.
  if (!file_->IsOpen() && !writable) file_.reset();
}

std::optional<std::vector<uint8_t>> MapTileStore::Image(const GeoPoint& position, int zoom) const {
  const GeoPoint key = MapCacheKey(position);
  std::lock_guard<std::mutex> l(lock_);
  for (auto it = tiles_.rbegin(); it != tiles_.rend(); ++it)
    if (it->latitude == key.latitude && it->longitude == key.longitude && it->zoom == zoom) return it->image;
  return std::nullopt;
}

void MapTileStore::Add(const GeoPoint& position, int zoom, std::vector<uint8_t> image) {
  const GeoPoint key = MapCacheKey(position);
  MapCacheRecord record{key.latitude, key.longitude, zoom, std::move(image)};
  {
    std::lock_guard<std::mutex> f(fileLock_);
    if (file_) file_->Append(record);
  }
  std::lock_guard<std::mutex> l(lock_);
  tiles_.push_back(std::move(record));
}

std::size_t MapTileStore::Size() const {
  std::lock_guard<std::mutex> l(lock_);
  return tiles_.size();
}

bool MapTileStore::HasFile() const {
  return file_ != nullptr;
}
