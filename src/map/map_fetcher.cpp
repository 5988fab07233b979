#include "map/map_fetcher.h"

namespace {
constexpr auto kPassPause = std::chrono::milliseconds(50);
}

MapFetchSetup ReadMapFetchSetup(const SettingReader& read, std::string cachePath) {
  MapFetchSetup setup;
  setup.source = ReadMapSource(read);
  setup.proxy = ReadProxyConfig(read);
  setup.cachePath = std::move(cachePath);
  return setup;
}

MapFetcher::MapFetcher(MapFetchSetup setup, QObject* parent)
    : QObject(parent),
      setup_(std::move(setup)),
      store_(setup_.cachePath),
      tiles_(setup_.tileRoot, setup_.source.tileTemplate) {
  thread_.reset(QThread::create([this] { Run(); }));
  thread_->setObjectName(QStringLiteral("map fetch"));
  thread_->start();
}

MapFetcher::~MapFetcher() {
  Stop();
}

void MapFetcher::SetPosition(const GeoPoint& position) {
  if (position.latitude == 0 || position.longitude == 0) return;
  std::lock_guard<std::mutex> l(lock_);
  wanted_.position = position;
  changed_.notify_all();
}

void MapFetcher::SetZoom(int zoom) {
  std::lock_guard<std::mutex> l(lock_);
  wanted_.zoom = zoom;
  changed_.notify_all();
}

void MapFetcher::SetView(const GeoPoint& centre, int zoom) {
  std::lock_guard<std::mutex> l(lock_);
  wanted_.position = centre;
  wanted_.zoom = zoom;
  changed_.notify_all();
}

void MapFetcher::SetViewSize(int width, int height) {
  std::lock_guard<std::mutex> l(lock_);
  wanted_.width = width;
  wanted_.height = height;
  changed_.notify_all();
}

void MapFetcher::SetTrack(std::vector<GeoPoint> track) {
  auto shared = std::make_shared<const std::vector<GeoPoint>>(std::move(track));
  std::lock_guard<std::mutex> l(lock_);
  track_ = std::move(shared);
  ++wanted_.trackVersion;
  changed_.notify_all();
}

void MapFetcher::Stop() {
  {
    std::lock_guard<std::mutex> l(lock_);
    stop_ = true;
    changed_.notify_all();
  }
  if (thread_) {
    thread_->wait();
    thread_.reset();
  }
}

void MapFetcher::Run() {
  MapComposer composer(setup_.source, setup_.proxy, &store_, &tiles_, &stop_, setup_.timeout);
  std::optional<Wanted> drawn;
  std::optional<Wanted> blankView;
  while (!stop_) {
    Wanted want;
    std::shared_ptr<const std::vector<GeoPoint>> track;
    {
      std::lock_guard<std::mutex> l(lock_);
      want = wanted_;
      track = track_;
    }
    if (want.position && want != drawn) {
      const MapPicture picture =
          setup_.vehicle ? composer.Compose(*want.position, want.zoom, *track)
                         : composer.ComposeMap(*want.position, want.zoom, want.width, want.height);
      requests_ = composer.Requests();
      if (stop_) break;
      // A view without its map is tried again on the next pass; one that
      // drew (or whose picture is broken) is done until the view changes.
      if (picture.status != MapStatus::kNoMap) drawn = want;
      // A view still without any map is told once, not on every retry.
      const bool blank = picture.status == MapStatus::kNoMap && picture.image.isNull();
      if (!(blank && blankView == want))
        emit PictureReady(picture.image, int(picture.status), want.zoom, want.position->latitude,
                          want.position->longitude);
      blankView = blank ? std::optional<Wanted>(want) : std::nullopt;
    }
    std::unique_lock<std::mutex> l(lock_);
    changed_.wait_for(l, kPassPause, [&] { return stop_.load() || !(wanted_ == want); });
  }
}
