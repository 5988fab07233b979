#include "map/map_composer.h"

#include <QPainter>
#include <QPainterPath>

#include "map/map_picture_decoder.h"
#include "map/map_tile_store.h"
#include "map/tile_disk_cache.h"
#include "map/track_projection.h"

namespace {

constexpr std::size_t kMemoryTiles = 64;  // 9 tiles per view: a few views of zooming back and forth

// A body long enough for a picture that starts like one: when it does not
// decode, something between us and the server spoilt it.
bool LooksLikePicture(const QByteArray& body) {
  return LooksLikeStaticMapImage(body.toStdString()) || (body.size() > 100 && body.startsWith("\x89PNG"));
}

void DrawTrackAndVehicle(QImage& image, const GeoPoint& centre, int zoom, double scale,
                         const std::vector<GeoPoint>& track) {
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const std::vector<ViewPixel> points = ProjectTrack(track, centre, zoom, scale, image.width());
  if (points.size() >= 2) {
    QPainterPath path(QPointF(points[0].x, points[0].y));
    for (std::size_t i = 1; i < points.size(); ++i) path.lineTo(points[i].x, points[i].y);
    p.setPen(QPen(QColor::fromRgba(kTrackColour), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  }
  p.setPen(QPen(Qt::white, 2));
  p.setBrush(QColor::fromRgba(kVehicleColour));
  p.drawEllipse(QPointF(image.width() / 2.0, image.height() / 2.0), 6, 6);
}

void DrawAttribution(QImage& image, const std::string& text) {
  if (text.empty()) return;
  QPainter p(&image);
  QFont font = p.font();
  font.setPixelSize(10);
  p.setFont(font);
  const QString label = QString::fromStdString(text);
  const QRect box = p.fontMetrics().boundingRect(label).adjusted(-3, -1, 3, 1);
  const QRect placed(image.width() - box.width(), image.height() - box.height(), box.width(), box.height());
  p.fillRect(placed, QColor(255, 255, 255, 190));
  p.setPen(QColor(40, 40, 40));
  p.drawText(placed, Qt::AlignCenter, label);
}

}  // namespace

const char* StatusText(MapStatus status) {
  switch (status) {
    case MapStatus::kShown:
      return "";
    case MapStatus::kNoMap:
      return kNoMapText;
    case MapStatus::kProxyError:
      return kProxyErrorText;
  }
  return "";
}

MapComposer::MapComposer(MapSource source, ProxyConfig proxy, MapTileStore* store, const TileDiskCache* tiles,
                         const std::atomic<bool>* cancel, std::chrono::milliseconds timeout)
    : source_(std::move(source)), store_(store), tiles_(tiles), grab_(std::move(proxy), timeout, cancel) {}

MapPicture MapComposer::Compose(const GeoPoint& centre, int zoom, const std::vector<GeoPoint>& track) {
  MapPicture picture = ComposeMap(centre, zoom, kViewSize, kViewSize);
  if (!picture.image.isNull())
    DrawTrackAndVehicle(picture.image, centre, zoom, ViewScale(source_.kind), track);
  return picture;
}

MapPicture MapComposer::ComposeMap(const GeoPoint& centre, int zoom, int width, int height) {
  if (width <= 0 || height <= 0) return {QImage(), MapStatus::kNoMap};
  return source_.kind == MapSourceKind::kStaticMap ? ComposeStatic(centre, zoom, width, height)
                                                   : ComposeTiles(centre, zoom, width, height);
}

bool MapComposer::Fetch(const std::string& url, QByteArray& body) {
  ++requests_;
  if (grab_.FetchUrl(url, body)) return true;
  lastError_ = grab_.LastError();
  return false;
}

MapPicture MapComposer::ComposeStatic(const GeoPoint& centre, int zoom, int width, int height) {
  QImage decoded;
  if (const auto stored = store_ ? store_->Image(centre, zoom) : std::nullopt) {
    decoded = DecodeMapPicture(std::string(stored->begin(), stored->end()));
  } else {
    QByteArray body;
    if (!Fetch(StaticMapUrl(source_, centre, zoom), body)) return {QImage(), MapStatus::kNoMap};
    const std::string text = body.toStdString();
    if (!LooksLikeStaticMapImage(text)) {
      lastError_ = "the answer is no map picture (HTTP " + std::to_string(grab_.LastStatusCode()) + ")";
      return {QImage(), MapStatus::kNoMap};
    }
    decoded = DecodeMapPicture(text);
    // Only a picture that decodes is kept: a spoilt one in the cache file
    // would show "Proxy Error" for that place in every later window.
    if (!decoded.isNull() && store_)
      store_->Add(centre, zoom, std::vector<uint8_t>(text.begin(), text.end()));
  }
  if (decoded.isNull()) {
    lastError_ = "the map picture does not decode";
    return {QImage(), MapStatus::kProxyError};
  }
  QImage view(width, height, QImage::Format_RGB32);
  view.fill(QColor::fromRgba(kBlankMapColour));
  QPainter p(&view);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(QRect((width - kViewSize) / 2, (height - kViewSize) / 2, kViewSize, kViewSize), decoded);
  p.end();
  return {view, MapStatus::kShown};
}

MapPicture MapComposer::ComposeTiles(const GeoPoint& centre, int zoom, int width, int height) {
  const std::vector<PlacedTile> placed = TilesForView(centre, zoom, width, height);
  std::vector<std::optional<QImage>> images(placed.size());
  std::vector<MapStatus> why(placed.size(), MapStatus::kShown);
  // What the caches lack is asked for all at once, within one time-out.
  std::vector<std::size_t> missing;
  std::vector<std::string> urls;
  for (std::size_t i = 0; i < placed.size(); ++i) {
    bool ask = false;
    images[i] = KnownTile(placed[i].key, why[i], ask);
    if (!ask) continue;
    missing.push_back(i);
    urls.push_back(TileUrl(source_.tileTemplate, placed[i].key));
  }
  if (!urls.empty()) {
    requests_ += int(urls.size());
    std::vector<WebAnswer> answers = grab_.FetchAll(urls);
    for (std::size_t k = 0; k < missing.size(); ++k)
      images[missing[k]] = FetchedTile(placed[missing[k]].key, answers[k], why[missing[k]]);
  }

  QImage view(width, height, QImage::Format_RGB32);
  view.fill(QColor::fromRgba(kBlankMapColour));
  MapStatus status = MapStatus::kShown;
  bool any = false;
  {
    QPainter p(&view);
    for (std::size_t i = 0; i < placed.size(); ++i) {
      if (images[i]) {
        p.drawImage(QRect(placed[i].left, placed[i].top, kTileSize, kTileSize), *images[i]);
        any = true;
      } else if (status != MapStatus::kProxyError) {
        status = why[i];
      }
    }
  }
  if (!any) return {QImage(), status};
  DrawAttribution(view, source_.attribution);
  return {view, status};
}

std::optional<QImage> MapComposer::KnownTile(const TileKey& key, MapStatus& status, bool& ask) {
  if (const auto known = memory_.find(key); known != memory_.end()) return known->second;
  if (tiles_) {
    if (const std::optional<std::string> stored = tiles_->Read(key)) {
      const QImage image = DecodeMapPicture(*stored);
      if (!image.isNull()) return Remember(key, image);
    }
  }
  const auto now = std::chrono::steady_clock::now();
  if (const auto failed = failed_.find(key);
      failed != failed_.end() && now - failed->second < kTileRetryPause) {
    status = MapStatus::kNoMap;
    return std::nullopt;
  }
  failed_[key] = now;  // until the answer proves otherwise
  ask = true;
  return std::nullopt;
}

std::optional<QImage> MapComposer::FetchedTile(const TileKey& key, const WebAnswer& answer,
                                               MapStatus& status) {
  status = MapStatus::kNoMap;
  if (!answer.ok) {
    lastError_ = answer.error;
    return std::nullopt;
  }
  if (answer.status != 200) {
    lastError_ = "the tile server answered HTTP " + std::to_string(answer.status);
    return std::nullopt;
  }
  const std::string body = answer.body.toStdString();
  const QImage image = DecodeMapPicture(body);
  if (image.isNull()) {
    lastError_ = "the answer is no picture";
    if (LooksLikePicture(answer.body)) status = MapStatus::kProxyError;
    return std::nullopt;
  }
  if (tiles_) tiles_->Write(key, body);
  failed_.erase(key);
  status = MapStatus::kShown;
  return Remember(key, image);
}

QImage MapComposer::Remember(const TileKey& key, const QImage& image) {
  if (memory_.size() >= kMemoryTiles) memory_.clear();
  memory_.emplace(key, image);
  return image;
}
