#include "map/map_source.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "map/text_rules.h"

MapSource MapSourceFromSettings(const std::string& kind, const std::string& staticBaseUrl,
                                const std::string& accessKey, const std::string& tileTemplate,
                                const std::string& attribution) {
  MapSource source;
  source.kind = EqualsIgnoringCase(kind, "static") ? MapSourceKind::kStaticMap : MapSourceKind::kTiles;
  if (!staticBaseUrl.empty()) source.staticBaseUrl = staticBaseUrl;
  source.accessKey = accessKey;
  if (!tileTemplate.empty()) source.tileTemplate = tileTemplate;
  if (!attribution.empty()) source.attribution = attribution;
  return source;
}

MapSource ReadMapSource(const SettingReader& read) {
  return MapSourceFromSettings(read(kMapSourceSetting), read(kMapStaticUrlSetting), read(kMapKeySetting),
                               read(kMapTileUrlSetting), read(kMapAttributionSetting));
}

std::string StaticMapUrl(const MapSource& source, const GeoPoint& centre, int zoom) {
  char query[320];
  std::snprintf(query, sizeof query,
                "/maps/api/staticmap?center=%.6f,%.6f&zoom=%d&size=300x300&maptype=roadmap&sensor=true&"
                "format=jpg&markers=size:tiny|color:blue|%.6f,%.6f",
                centre.latitude, centre.longitude, zoom, centre.latitude, centre.longitude);
  std::string base = source.staticBaseUrl;
  while (!base.empty() && base.back() == '/') base.pop_back();
  std::string url = base + query;
  if (!source.accessKey.empty()) url += "&key=" + PercentEncoded(source.accessKey);
  return url;
}

std::string TileUrl(const std::string& tileTemplate, const TileKey& tile) {
  std::string url;
  for (std::size_t i = 0; i < tileTemplate.size();) {
    const std::string_view rest = std::string_view(tileTemplate).substr(i);
    if (rest.starts_with("{z}")) {
      url += std::to_string(tile.zoom);
    } else if (rest.starts_with("{x}")) {
      url += std::to_string(tile.x);
    } else if (rest.starts_with("{y}")) {
      url += std::to_string(tile.y);
    } else {
      url += tileTemplate[i++];
      continue;
    }
    i += 3;
  }
  return url;
}

bool LooksLikeStaticMapImage(const std::string& body) {
  return body.size() > 100 && uint8_t(body[0]) == 0xFF && uint8_t(body[1]) == 0xD8;
}
