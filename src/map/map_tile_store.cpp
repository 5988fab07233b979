#include "map/map_tile_store.h"

MapTileStore::MapTileStore(const std::string& cachePath, bool writable) {
  if (cachePath.empty()) return;
  file_ = std::make_unique<MapCacheFile>(cachePath, writable);
  if (file_->IsOpen()) {
    tiles_ = file_->Load();
  } else {
    file_.reset();
  }
}

std::optional<std::vector<uint8_t>> MapTileStore::Image(const GeoPoint& position, int zoom) const {
  std::lock_guard<std::mutex> l(lock_);
  for (auto it = tiles_.rbegin(); it != tiles_.rend(); ++it)
    if (it->latitude == position.latitude && it->longitude == position.longitude && it->zoom == zoom)
      return it->image;
  return std::nullopt;
}

void MapTileStore::Add(const GeoPoint& position, int zoom, std::vector<uint8_t> image) {
  MapCacheRecord record{position.latitude, position.longitude, zoom, std::move(image)};
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
