#include "map_test_support.h"

#include <QBuffer>
#include <QImage>

#include "base/settings.h"
#include "map/map_source.h"
#include "map/proxy_config.h"

namespace {

std::string Encoded(int size, const QColor& colour, const char* format) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toStdString();
}

}  // namespace

std::string PngTile(const QColor& colour) {
  return Encoded(256, colour, "PNG");
}
std::string StaticMapJpeg(const QColor& colour) {
  return Encoded(300, colour, "JPG");
}

HttpTestServer::Handler MapHandler(const std::atomic<ServerFault>& fault) {
  return [&fault](const HttpRequest& request) {
    HttpAnswer answer;
    const bool isStatic = request.path.starts_with("/maps/api/staticmap");
    switch (fault.load()) {
      case ServerFault::kShortAnswer:
        answer.body = std::string("\xFF\xD8") + std::string(88, 'x');  // 90 bytes
        return answer;
      case ServerFault::kBrokenJpeg:
        answer.body = std::string("\xFF\xD8\xFF\xE0") + std::string(4000, '\x11');
        return answer;
      case ServerFault::kBrokenPng: {
        // A real tile's signature and header, then its data spoilt.
        answer.body = PngTile().substr(0, 33) + std::string(3000, '\x5a');
        answer.contentType = "image/png";
        return answer;
      }
      case ServerFault::kHang:
        answer.hang = true;
        return answer;
      case ServerFault::kNotFound:
        answer.status = 404;
        answer.body = "<html>not here</html>";
        return answer;
      case ServerFault::kNone:
        break;
    }
    if (isStatic) {
      answer.body = StaticMapJpeg();
      answer.contentType = "image/jpeg";
    } else if (request.path.starts_with("/tiles/")) {
      answer.body = PngTile();
      answer.contentType = "image/png";
    } else {
      answer.status = 404;
      answer.body = "unknown";
    }
    return answer;
  };
}

void StoreMapSource(const std::string& kind, const std::string& base) {
  WriteSetting(kMapSourceSetting, kind);
  WriteSetting(kMapStaticUrlSetting, base);
  WriteSetting(kMapTileUrlSetting, base + "/tiles/{z}/{x}/{y}.png");
  WriteSetting(kMapKeySetting, "");
  WriteSetting(kMapAttributionSetting, "");
}

void StoreProxy(const std::string& on, const std::string& server, const std::string& port,
                const std::string& authenticate, const std::string& user, const std::string& password) {
  WriteSetting(kProxyOnSetting, on);
  WriteSetting(kProxyServerSetting, server);
  WriteSetting(kProxyPortSetting, port);
  WriteSetting(kProxyAuthenticateSetting, authenticate);
  WriteSetting(kProxyUsernameSetting, user);
  WriteSetting(kProxyPasswordSetting, password);
}
