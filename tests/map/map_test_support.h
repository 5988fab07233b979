#pragma once

// What the map tests serve and set: pictures of both sources, a tile server
// with switchable faults, and the stored map and proxy values.

#include <QColor>
#include <atomic>
#include <string>

#include "http_test_server.h"

// The colour the served map is painted in, so tests can tell map from track.
inline const QColor kMapGrey(0xe8, 0xe8, 0xe8);

std::string PngTile(const QColor& colour = kMapGrey);        // 256 × 256
std::string StaticMapJpeg(const QColor& colour = kMapGrey);  // 300 × 300

enum class ServerFault { kNone, kShortAnswer, kBrokenJpeg, kBrokenPng, kHang, kNotFound };

// Answers "/maps/api/staticmap?..." with a JPEG and "/tiles/Z/X/Y.png" with
// a PNG, unless `fault` says otherwise.
HttpTestServer::Handler MapHandler(const std::atomic<ServerFault>& fault);

// Stores the source settings: `kind` "static" or "tiles", served by `base`.
void StoreMapSource(const std::string& kind, const std::string& base);
// Stores the six proxy values.
void StoreProxy(const std::string& on, const std::string& server = "", const std::string& port = "",
                const std::string& authenticate = "no", const std::string& user = "",
                const std::string& password = "");
