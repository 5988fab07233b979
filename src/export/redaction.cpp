#include "export/redaction.h"

#include <algorithm>
#include <cmath>

#include "evidence/json_value.h"
#include "evidence/text_escape.h"

namespace redaction {
namespace {

// Bounds on what a list file may ask for, far above any hand-made list.
constexpr std::size_t kMaxShapes = 10000;
constexpr std::size_t kMaxKeyframes = 100000;
constexpr const char* kFormat = "qmxplayer-redactions";
// The smallest width or height a list may give: finer than any picture's
// pixel, and still exact in the file's six decimals.
constexpr double kMinFraction = 1e-4;

double Lerp(double a, double b, double t) {
  return a + (b - a) * t;
}

int Clamp(double v, int low, int high) {
  if (!(v > low)) return low;  // NaN too
  if (v > high) return high;
  return int(v);
}

// Inside the shape: the pixel's centre, for an ellipse within its box.
struct Inside {
  Shape shape;
  double cx, cy, rx, ry;
  bool operator()(int x, int y) const {
    if (shape == Shape::kRectangle) return true;
    const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
  }
};

}  // namespace

void SetKeyframe(Redaction& redaction, const Keyframe& key) {
  auto at = std::lower_bound(redaction.keys.begin(), redaction.keys.end(), key.centis,
                             [](const Keyframe& k, int64_t centis) { return k.centis < centis; });
  if (at != redaction.keys.end() && at->centis == key.centis)
    *at = key;
  else
    redaction.keys.insert(at, key);
}

std::optional<Box> PlaceAt(const Redaction& redaction, int64_t centis) {
  const std::vector<Keyframe>& keys = redaction.keys;
  if (keys.empty() || centis < keys.front().centis || centis > keys.back().centis) return std::nullopt;
  auto after = std::lower_bound(keys.begin(), keys.end(), centis,
                                [](const Keyframe& k, int64_t c) { return k.centis < c; });
  if (after->centis == centis) return after->box;
  const Keyframe& a = *(after - 1);
  const Keyframe& b = *after;
  const double t = double(centis - a.centis) / double(b.centis - a.centis);
  return Box{Lerp(a.box.x, b.box.x, t), Lerp(a.box.y, b.box.y, t), Lerp(a.box.width, b.box.width, t),
             Lerp(a.box.height, b.box.height, t)};
}

PixelRect ToPixels(const Box& box, int width, int height) {
  PixelRect r;
  r.x0 = Clamp(std::floor(box.x * width), 0, width);
  r.y0 = Clamp(std::floor(box.y * height), 0, height);
  r.x1 = Clamp(std::ceil((box.x + box.width) * width), 0, width);
  r.y1 = Clamp(std::ceil((box.y + box.height) * height), 0, height);
  return r;
}

int PixelBlock(const PixelRect& rect) {
  const int longest = std::max(rect.x1 - rect.x0, rect.y1 - rect.y0);
  return std::max(kMinPixelBlock, (longest + kMaxBlocksAcross - 1) / kMaxBlocksAcross);
}

void Rasterise(uint8_t* bgrx, int width, int height, int strideBytes, Shape shape, Fill fill,
               const Box& box) {
  const PixelRect r = ToPixels(box, width, height);
  if (r.Empty() || !bgrx) return;
  const Inside inside{shape, (box.x + box.width / 2) * width, (box.y + box.height / 2) * height,
                      box.width * width / 2, box.height * height / 2};
  if (inside.rx <= 0 || inside.ry <= 0) return;
  auto pixel = [&](int x, int y) {
    return bgrx + std::size_t(y) * std::size_t(strideBytes) + std::size_t(x) * 4;
  };
  if (fill == Fill::kSolid) {
    for (int y = r.y0; y < r.y1; ++y)
      for (int x = r.x0; x < r.x1; ++x)
        if (inside(x, y)) pixel(x, y)[0] = pixel(x, y)[1] = pixel(x, y)[2] = 0;
    return;
  }
  const int block = PixelBlock(r);
  constexpr int kStep = 256 / kPixelLevels;
  for (int by = r.y0 / block * block; by < r.y1; by += block) {
    for (int bx = r.x0 / block * block; bx < r.x1; bx += block) {
      const int x0 = std::max(bx, r.x0), x1 = std::min(bx + block, r.x1);
      const int y0 = std::max(by, r.y0), y1 = std::min(by + block, r.y1);
      long sum[3] = {0, 0, 0};
      long n = 0;
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
          if (inside(x, y)) {
            for (int c = 0; c < 3; ++c) sum[c] += pixel(x, y)[c];
            ++n;
          }
      if (n == 0) continue;
      uint8_t mean[3];
      for (int c = 0; c < 3; ++c) mean[c] = uint8_t(std::min(255L, (sum[c] / n) / kStep * kStep + kStep / 2));
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
          if (inside(x, y))
            for (int c = 0; c < 3; ++c) pixel(x, y)[c] = mean[c];
    }
  }
}

int ApplyRedactions(uint8_t* bgrx, int width, int height, int strideBytes, int camera, int64_t centis,
                    const RedactionList& list) {
  int drawn = 0;
  for (const Redaction& r : list.items) {
    if (r.camera != camera) continue;
    const std::optional<Box> box = PlaceAt(r, centis);
    if (!box) continue;
    Rasterise(bgrx, width, height, strideBytes, r.shape, r.fill, *box);
    ++drawn;
  }
  return drawn;
}

bool HasCamera(const RedactionList& list, int camera) {
  return std::any_of(list.items.begin(), list.items.end(),
                     [&](const Redaction& r) { return r.camera == camera && !r.keys.empty(); });
}

std::string ToJson(const RedactionList& list) {
  using evidence::JsonNumber;
  std::string out =
      "{\n  \"format\": \"" + std::string(kFormat) + "\",\n  \"version\": 1,\n  \"redactions\": [";
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    const Redaction& r = list.items[i];
    out += std::string(i ? "," : "") + "\n    {\"camera\": " + std::to_string(r.camera + 1) +
           ", \"shape\": " + (r.shape == Shape::kEllipse ? "\"ellipse\"" : "\"rectangle\"") +
           ", \"fill\": " + (r.fill == Fill::kPixelate ? "\"pixelate\"" : "\"solid\"") + ", \"keyframes\": [";
    for (std::size_t k = 0; k < r.keys.size(); ++k) {
      const Keyframe& key = r.keys[k];
      out += std::string(k ? ", " : "") + "{\"centis\": " + std::to_string(key.centis) +
             ", \"x\": " + JsonNumber(key.box.x, 6) + ", \"y\": " + JsonNumber(key.box.y, 6) +
             ", \"width\": " + JsonNumber(key.box.width, 6) +
             ", \"height\": " + JsonNumber(key.box.height, 6) + "}";
    }
    out += "]}";
  }
  out += list.items.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

bool FromJson(const std::string& text, RedactionList& list, std::string& error) {
  evidence::JsonValue root;
  if (!evidence::ParseJson(text, root, error)) return false;
  using Type = evidence::JsonValue::Type;
  if (root.type != Type::kObject || root["format"].text != kFormat) {
    error = "not a redaction list (no \"format\": \"" + std::string(kFormat) + "\")";
    return false;
  }
  const evidence::JsonValue& items = root["redactions"];
  if (items.type != Type::kArray || items.items.size() > kMaxShapes) {
    error = "\"redactions\" is not a list of at most " + std::to_string(kMaxShapes) + " shapes";
    return false;
  }
  RedactionList read;
  std::size_t keyframes = 0;
  for (std::size_t i = 0; i < items.items.size(); ++i) {
    const evidence::JsonValue& item = items.items[i];
    const std::string where = "redaction " + std::to_string(i + 1) + ": ";
    Redaction r;
    const evidence::JsonValue& camera = item["camera"];
    if (camera.type != Type::kNumber || camera.number != std::floor(camera.number) || camera.number < 1 ||
        camera.number > 4) {
      error = where + "\"camera\" must be 1 to 4";
      return false;
    }
    r.camera = int(camera.number) - 1;
    const std::string shape = item["shape"].text, fill = item["fill"].text;
    if (shape != "rectangle" && shape != "ellipse") {
      error = where + "\"shape\" must be \"rectangle\" or \"ellipse\"";
      return false;
    }
    if (fill != "solid" && fill != "pixelate") {
      error = where + "\"fill\" must be \"solid\" or \"pixelate\"";
      return false;
    }
    r.shape = shape == "ellipse" ? Shape::kEllipse : Shape::kRectangle;
    r.fill = fill == "pixelate" ? Fill::kPixelate : Fill::kSolid;
    const evidence::JsonValue& keys = item["keyframes"];
    keyframes += keys.items.size();
    if (keys.type != Type::kArray || keys.items.empty() || keyframes > kMaxKeyframes) {
      error = where + "\"keyframes\" must be a list of places (at most " + std::to_string(kMaxKeyframes) +
              " in all)";
      return false;
    }
    for (const evidence::JsonValue& k : keys.items) {
      Keyframe key;
      const double values[5] = {k["centis"].number, k["x"].number, k["y"].number, k["width"].number,
                                k["height"].number};
      bool numbers = true;
      for (const char* name : {"centis", "x", "y", "width", "height"})
        numbers = numbers && k[name].type == Type::kNumber;
      if (!numbers || values[0] < 0 || values[0] > 1e12 || values[3] < kMinFraction ||
          values[4] < kMinFraction || std::abs(values[1]) > 10 || std::abs(values[2]) > 10 ||
          values[3] > 10 || values[4] > 10) {
        error = where +
                "a keyframe needs centis >= 0 and x, y, width, height as fractions of the picture (width and "
                "height at least 0.0001)";
        return false;
      }
      key.centis = int64_t(values[0]);
      key.box = {values[1], values[2], values[3], values[4]};
      SetKeyframe(r, key);
    }
    read.items.push_back(std::move(r));
  }
  list = std::move(read);
  return true;
}

}  // namespace redaction
