#pragma once

// The map window's fetch thread: it watches the wanted view (the vehicle's
// position and the zoom) and, whenever that differs from the view last
// drawn, composes the picture (fetching what the caches lack) and hands it
// over by the PictureReady signal. A view without its map is tried again
// every 50 ms; a drawn one is not asked for again.
//
// Threads: the public calls are made on the owner's thread and return at
// once (they only set the wanted view under a lock). PictureReady is emitted
// on the fetch thread: connect it queued; the fetcher never touches a
// widget. Stop (and the destructor) cancels a request in flight and joins the
// thread, within about 50 ms of the request's cancellation.

#include <QImage>
#include <QObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "map/map_composer.h"
#include "map/map_source.h"
#include "map/map_tile_store.h"
#include "map/proxy_config.h"
#include "map/tile_disk_cache.h"
#include "map/tile_math.h"

struct MapFetchSetup {
  MapSource source;
  ProxyConfig proxy;
  std::string cachePath;  // the recording's map cache file; "" keeps no file
  std::string tileRoot = TileDiskCache::DefaultRoot();
  std::chrono::milliseconds timeout = std::chrono::seconds(10);
  // The track and the vehicle drawn over the map (the map window); false
  // hands over the map alone, for a view that draws its own marks.
  bool vehicle = true;
};

// The setup the stored map source and proxy values describe.
MapFetchSetup ReadMapFetchSetup(const SettingReader& read, std::string cachePath);

class MapFetcher : public QObject {
  Q_OBJECT
 public:
  // Loads the map cache file and starts the fetch thread.
  explicit MapFetcher(MapFetchSetup setup, QObject* parent = nullptr);
  ~MapFetcher() override;

  // The vehicle's position; a latitude or longitude of exactly 0 (no fix)
  // is ignored.
  void SetPosition(const GeoPoint& position);
  void SetZoom(int zoom);
  // The view's centre (taken as it is, 0 included) and zoom at once, so no
  // view between them is composed; and its size (kViewSize square unless set).
  void SetView(const GeoPoint& centre, int zoom);
  void SetViewSize(int width, int height);
  // The whole track drawn over the map.
  void SetTrack(std::vector<GeoPoint> track);
  void Stop();

  int Requests() const { return requests_; }
  std::size_t StoredPictures() const { return store_.Size(); }

 signals:
  // A composed view centred on (latitude, longitude); `status` is a
  // MapStatus. `image` may be null (nothing to show yet).
  void PictureReady(const QImage& image, int status, int zoom, double latitude, double longitude);

 private:
  struct Wanted {
    std::optional<GeoPoint> position;
    int zoom = kStartZoom;
    int width = kViewSize, height = kViewSize;
    int trackVersion = 0;
    bool operator==(const Wanted&) const = default;
  };

  void Run();

  const MapFetchSetup setup_;
  MapTileStore store_;
  TileDiskCache tiles_;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::mutex lock_;  // guards wanted_ and track_
  std::condition_variable changed_;
  Wanted wanted_;
  std::shared_ptr<const std::vector<GeoPoint>> track_ = std::make_shared<std::vector<GeoPoint>>();
  std::unique_ptr<QThread> thread_;
};
