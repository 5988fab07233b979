#include "recording_options.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace recgen {

const std::array<const char*, 11> kDefaultTriggerNames = {"Brake", "Left Turn", "Right Turn", "Lights",
                                                          "Siren", "Door",      "Reverse",    "Panic",
                                                          "Aux 1", "Aux 2",     "Ignition"};

int64_t FrameCount(const RecordingOptions& o) {
  const double frames = std::floor(o.seconds * o.fps + 0.5);
  return frames < 1 ? 1 : int64_t(frames);
}

std::vector<std::string> EffectiveTriggerNames(const RecordingOptions& o) {
  std::vector<std::string> names(kDefaultTriggerNames.begin(), kDefaultTriggerNames.end());
  for (std::size_t i = 0; i < o.triggerNames.size() && i < names.size(); ++i) names[i] = o.triggerNames[i];
  return names;
}

void FrameSize(const RecordingOptions& o, int& width, int& height) {
  switch (o.kind) {
    case 1:
      width = 320, height = 240;
      return;
    case 2:
      width = 320, height = 480;
      return;
    case 3:
      width = 640, height = 240;
      return;
    default:
      width = o.width, height = o.height;
      return;
  }
}

bool HasFault(const RecordingOptions& o, FaultKind kind, int camera, int64_t frame) {
  for (const FrameFault& f : o.faults) {
    if (f.kind == kind && f.camera == camera && f.frame == frame) return true;
  }
  return false;
}

namespace {

bool ParseNumber(const std::string& text, double lo, double hi, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0' && std::isfinite(value) && value >= lo && value <= hi;
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, sep)) parts.push_back(part);
  return parts;
}

// "1,2,4" → channel flags; "none" → all clear.
bool ParseChannels(const std::string& text, std::array<bool, 4>& flags) {
  flags = {false, false, false, false};
  if (text == "none") return true;
  for (const std::string& p : Split(text, ',')) {
    if (p.size() != 1 || p[0] < '1' || p[0] > '4') return false;
    flags[std::size_t(p[0] - '1')] = true;
  }
  return true;
}

// "drop-frame:CAM:FRAME", "repeat-frame:…", "corrupt-frame:…", "drop-audio:…"
// or "clock-back:FRAME:SECONDS".
bool ParseFault(const std::string& text, FrameFault& fault) {
  const std::vector<std::string> parts = Split(text, ':');
  if (parts.size() != 3) return false;
  static const std::array<std::pair<const char*, FaultKind>, 5> kKinds = {
      {{"drop-frame", FaultKind::kDropFrame},
       {"repeat-frame", FaultKind::kRepeatFrame},
       {"corrupt-frame", FaultKind::kCorruptFrame},
       {"drop-audio", FaultKind::kDropAudio},
       {"clock-back", FaultKind::kClockBack}}};
  bool known = false;
  for (auto [name, kind] : kKinds) {
    if (parts[0] == name) fault.kind = kind, known = true;
  }
  double a = 0, b = 0;
  if (!known || !ParseNumber(parts[1], 0, 1e9, a) || !ParseNumber(parts[2], 0, 1e9, b)) return false;
  if (fault.kind == FaultKind::kClockBack) {
    fault.frame = int64_t(a), fault.seconds = b;
    return a == std::floor(a);
  }
  fault.camera = int(a), fault.frame = int64_t(b);
  return a == std::floor(a) && b == std::floor(b) && a >= 1 && a <= 4;
}

}  // namespace

std::string ParseIncidents(const std::string& text, std::vector<Incident>& out) {
  out.clear();
  if (text == "calm") return "";
  for (const std::string& item : Split(text, ',')) {
    const auto colon = item.find(':');
    const auto at = item.find('@');
    const std::string bad = "--incidents item \"" + item +
                            "\" wants t:BIT@START-END or x|y:TENTHS@SECONDS, each with an optional /PERIOD";
    if (colon != 1 || at == std::string::npos || at < colon) return bad;
    Incident inc;
    inc.kind = item[0];
    double value = 0, start = 0, end = 0;
    std::string when = item.substr(at + 1);
    if (const auto slash = when.find('/'); slash != std::string::npos) {
      if (!ParseNumber(when.substr(slash + 1), 0.001, 1e7, inc.period)) return bad;
      when.resize(slash);
    }
    if (inc.kind == 't') {
      const auto dash = when.find('-');
      if (!ParseNumber(item.substr(2, at - 2), 0, 10, value) || dash == std::string::npos ||
          !ParseNumber(when.substr(0, dash), 0, 1e7, start) ||
          !ParseNumber(when.substr(dash + 1), 0, 1e7, end) || end <= start)
        return bad;
    } else if (inc.kind == 'x' || inc.kind == 'y') {
      if (!ParseNumber(item.substr(2, at - 2), -128, 127, value) || !ParseNumber(when, 0, 1e7, start))
        return bad;
    } else {
      return bad;
    }
    inc.value = int(value);
    inc.start = start;
    inc.end = end;
    out.push_back(inc);
  }
  return "";
}

std::string ParseRoute(const std::string& text, std::vector<Waypoint>& out) {
  out.clear();
  for (const std::string& item : Split(text, ';')) {
    const std::string bad = "--route item \"" + item + "\" wants LAT,LON@SECONDS with rising times";
    const auto comma = item.find(',');
    const auto at = item.find('@');
    Waypoint w;
    if (comma == std::string::npos || at == std::string::npos || at < comma ||
        !ParseNumber(item.substr(0, comma), -90, 90, w.latitude) ||
        !ParseNumber(item.substr(comma + 1, at - comma - 1), -180, 180, w.longitude) ||
        !ParseNumber(item.substr(at + 1), 0, 1e7, w.seconds) ||
        (!out.empty() && w.seconds <= out.back().seconds))
      return bad;
    out.push_back(w);
  }
  return out.empty() ? "--route wants at least one LAT,LON@SECONDS" : "";
}

std::string ParseRecordingOptions(const std::vector<std::string>& args, std::size_t begin,
                                  RecordingOptions& o, std::vector<std::string>& rest) {
  bool audioGiven = false;
  for (std::size_t i = begin; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    double d = 0;
    if (a == "--header380") {
      o.header380 = true;
    } else if (a == "--h264") {
      o.h264 = true;
    } else if (a == "--dvr-meta-header") {
      o.dvrMetaHeader = true;
    } else if (a == "--one-stream-header") {
      o.oneStreamHeader = true;
    } else if (a == "--no-strn") {
      o.streamNames = false;
    } else if (a == "--prefix" || a == "--continuations" || a == "--mark") {
      if (!value(v)) return a + " needs a value";
      rest.push_back(a);
      rest.push_back(v);
    } else if (!value(v)) {
      return a.rfind("--", 0) == 0 ? a + " needs a value or is unknown" : "unexpected argument: " + a;
    } else if (a == "--size") {
      static const std::array<std::pair<int, int>, 6> kSizes = {
          {{720, 480}, {640, 480}, {720, 576}, {360, 288}, {360, 240}, {320, 240}}};
      const auto x = v.find('x');
      double w = 0, h = 0;
      if (x == std::string::npos || !ParseNumber(v.substr(0, x), 1, 4096, w) ||
          !ParseNumber(v.substr(x + 1), 1, 4096, h))
        return "--size wants WxH, e.g. 720x480";
      bool known = false;
      for (auto [kw, kh] : kSizes) known = known || (kw == int(w) && kh == int(h));
      if (!known) return "--size must be one of 720x480, 640x480, 720x576, 360x288, 360x240, 320x240";
      o.width = int(w);
      o.height = int(h);
    } else if (a == "--aspect") {
      const auto colon = v.find(':');
      double x = 0, y = 0;
      if (colon == std::string::npos || !ParseNumber(v.substr(0, colon), 1, 65535, x) ||
          !ParseNumber(v.substr(colon + 1), 1, 65535, y) || x != std::floor(x) || y != std::floor(y))
        return "--aspect wants X:Y, e.g. 16:9";
      o.statedAspect = {int(x), int(y)};
    } else if (a == "--kind") {
      if (!ParseNumber(v, 0, 3, d) || d != std::floor(d)) return "--kind must be 0, 1, 2 or 3";
      o.kind = int(d);
      if (o.kind == 1 && o.textLines == TextLines::kNone) o.textLines = TextLines::kA;
    } else if (a == "--channels") {
      if (!ParseChannels(v, o.video) || v == "none") return "--channels wants a list such as 1,2,4";
      if (!audioGiven) o.audio = o.video;
    } else if (a == "--audio") {
      if (!ParseChannels(v, o.audio)) return "--audio wants a list such as 1,3 or none";
      audioGiven = true;
    } else if (a == "--seconds") {
      if (!ParseNumber(v, 0.01, 3600, d)) return "--seconds must be between 0.01 and 3600";
      o.seconds = d;
    } else if (a == "--fps") {
      if (!ParseNumber(v, 1, 60, d)) return "--fps must be between 1 and 60";
      o.fps = d;
    } else if (a == "--meta") {
      if (v == "frames")
        o.meta = MetaPlacement::kFrames;
      else if (v == "stream")
        o.meta = MetaPlacement::kStream;
      else if (v == "both")
        o.meta = MetaPlacement::kBoth;
      else if (v == "none")
        o.meta = MetaPlacement::kNone;
      else
        return "--meta must be frames, stream, both or none";
    } else if (a == "--text-lines") {
      if (v == "A")
        o.textLines = TextLines::kA;
      else if (v == "B")
        o.textLines = TextLines::kB;
      else if (v == "none")
        o.textLines = TextLines::kNone;
      else
        return "--text-lines must be A, B or none";
    } else if (a == "--config") {
      if (v == "none")
        o.config = ConfigSource::kNone;
      else if (v == "default")
        o.config = ConfigSource::kDefault;
      else
        o.config = ConfigSource::kFile, o.configFile = v;
    } else if (a == "--config-at") {
      if (v != "start" && v != "end") return "--config-at must be start or end";
      o.configAtEnd = v == "end";
    } else if (a == "--title") {
      o.title = v;
    } else if (a == "--trigger-names") {
      o.triggerNames = Split(v, ',');
      if (o.triggerNames.size() > 11) return "--trigger-names takes at most 11 names";
    } else if (a == "--version") {
      o.version = v == "none" ? "" : v;
    } else if (a == "--start-utc") {
      if (!ParseNumber(v, 0, 4294967295.0, d)) return "--start-utc wants seconds since 1970";
      o.startUtc = uint32_t(d);
    } else if (a == "--incidents") {
      o.scripted = true;
      const std::string error = ParseIncidents(v, o.incidents);
      if (!error.empty()) return error;
    } else if (a == "--route") {
      const std::string error = ParseRoute(v, o.route);
      if (!error.empty()) return error;
    } else if (a == "--fault") {
      FrameFault fault;
      if (!ParseFault(v, fault))
        return "--fault wants drop-frame|repeat-frame|corrupt-frame|drop-audio:CAMERA:FRAME or "
               "clock-back:FRAME:SECONDS";
      o.faults.push_back(fault);
    } else if (a == "--file-gap") {
      if (!ParseNumber(v, 0, 86400, d)) return "--file-gap must be between 0 and 86400 seconds";
      o.fileGapSeconds = d;
    } else if (a == "--quality") {
      if (!ParseNumber(v, 1, 100, d)) return "--quality must be between 1 and 100";
      o.quality = int(d);
    } else {
      return "unknown option " + a;
    }
  }
  return "";
}

}  // namespace recgen
