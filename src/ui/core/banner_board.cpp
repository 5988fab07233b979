#include "ui/core/banner_board.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace {

// text[pos, pos + len), clipped to the text: characters outside it are
// simply absent.
std::string Mid(const std::string& text, long pos, long len) {
  if (pos < 0) {
    len += pos;
    pos = 0;
  }
  if (len <= 0 || pos >= static_cast<long>(text.size())) return {};
  return text.substr(static_cast<size_t>(pos), static_cast<size_t>(len));
}

char At(const std::string& text, size_t pos) {
  return pos < text.size() ? text[pos] : '\0';
}

// The leading decimal number of a text (blanks, a sign when `withSign`,
// digits, one point), 0 without one. Independent of the process locale,
// which a Qt application sets from the environment.
double LeadingDecimal(const std::string& text, bool withSign = true) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (withSign && i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  double value = 0, scale = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && scale == 0) {
      scale = 1;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      if (scale == 0) {
        value = value * 10 + (c - '0');
      } else {
        scale /= 10;
        value += (c - '0') * scale;
      }
    } else {
      break;
    }
  }
  return negative ? -value : value;
}

// "%.4f" of d + (m + s / 60) / 60, with "-" in front for south or west.
// The fields are unsigned: a stray "-" in a damaged line reads as the end
// of the number, so the text never gets two signs.
std::string Degrees(const std::string& d, const std::string& m, const std::string& s, bool negative) {
  const double value =
      LeadingDecimal(d, false) + (LeadingDecimal(m, false) + LeadingDecimal(s, false) / 60.0) / 60.0;
  // A damaged line can hold a run of hundreds of digits: such a number
  // reads as 0 rather than as "inf" or a text longer than the buffer.
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::isfinite(value) ? value : 0.0,
                                    std::chars_format::fixed, 4);
  if (result.ec != std::errc()) return negative ? "-0.0000" : "0.0000";
  return (negative ? "-" : "") + std::string(buffer, result.ptr);
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// "DDDMMSSH": degrees are all but the last five characters, then minutes,
// seconds and the hemisphere letter.
std::string DecodeCompact(const std::string& part, char negativeLetter) {
  const long n = static_cast<long>(part.size());
  return Degrees(Mid(part, 0, n - 5), Mid(part, n - 5, 2), Mid(part, n - 3, 2),
                 part.back() == negativeLetter);
}

// Whether the last character is the first occurrence of `a` or of `b`.
bool EndsWithFirstOf(const std::string& part, char a, char b) {
  const char last = part.back();
  return (last == a || last == b) && part.find(last) == part.size() - 1;
}

// A run of digits "DDDMMSS" starting at `pos`: degrees all but its last
// four digits. Moves `pos` past the run.
std::string DecodeDigitRun(const std::string& text, size_t& pos, char negativeLetter) {
  const size_t start = pos;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
  const std::string run = text.substr(start, pos - start);
  const long n = static_cast<long>(run.size());
  return Degrees(Mid(run, 0, n - 4), Mid(run, n - 4, 2), Mid(run, n - 2, 2), At(text, pos) == negativeLetter);
}

void CleanBannerText(std::string& line) {
  for (char& c : line) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u == 0x8F) c = static_cast<char>(0xB0);  // the DVR's degree sign
    if (u == 0x11 || u == 0x1A) c = ' ';
  }
}

}  // namespace

bool AcceptBannerSource(const std::string& source, const BannerSourceFilter& f) {
  if (!f.hasPlayback) return true;
  static const std::string kPrefix = "Meta Data Extractor ";
  for (int k = 1; k <= 4; ++k) {
    if (source != kPrefix + std::to_string(k) || f.metadataChannel == k) continue;
    // Both cameras of a stacked two-channel recording come from extractor 1.
    if (k == 1 && !(f.hasRecordingInfo && f.dvrKind != DvrLayout::kTwoChannelStacked)) return true;
    return false;
  }
  return true;
}

DecodedPosition DecodeLine2Position(const std::string& line) {
  DecodedPosition p;
  if (line.rfind("Lat", 0) == 0) {
    p.latitude = Degrees(Mid(line, 5, 2), Mid(line, 8, 2), Mid(line, 11, 2), At(line, 14) == 'S');
    return p;
  }
  const std::string t = Trim(line);
  const size_t blank = t.find(' ');
  if (blank == std::string::npos) return p;
  std::string rest = t.substr(blank + 1);
  rest.erase(0, rest.find_first_not_of(' '));
  const size_t next = rest.find(' ');
  if (next == std::string::npos) return p;
  const std::string a = t.substr(0, blank), b = rest.substr(0, next);
  if (a.empty() || b.empty() || !EndsWithFirstOf(a, 'N', 'S') || !EndsWithFirstOf(b, 'E', 'W')) return p;
  p.latitude = DecodeCompact(a, 'S');
  p.longitude = DecodeCompact(b, 'W');
  return p;
}

DecodedPosition DecodeLine3Position(const std::string& line) {
  DecodedPosition p;
  if (line.rfind("Lon", 0) == 0) {
    p.longitude = Degrees(Mid(line, 4, 3), Mid(line, 8, 2), Mid(line, 11, 2), At(line, 14) == 'W');
    return p;
  }
  if (Trim(line).size() < 6) return p;
  size_t pos = 0;
  while (pos < line.size() && !std::isdigit(static_cast<unsigned char>(line[pos])) && line[pos] != 'G' &&
         line[pos] != 'g') {
    ++pos;
  }
  if (pos == line.size() || line[pos] == 'G' || line[pos] == 'g') return p;  // no fix
  p.latitude = DecodeDigitRun(line, pos, 'S');
  while (pos < line.size() && !std::isdigit(static_cast<unsigned char>(line[pos]))) ++pos;
  if (pos < line.size()) p.longitude = DecodeDigitRun(line, pos, 'W');
  return p;
}

DisplayFlags FlagsForDisplay(MetadataDisplay mode) {
  switch (mode) {
    case MetadataDisplay::kHide:
      return {false, false};
    case MetadataDisplay::kOverlay:
      return {true, false};
    case MetadataDisplay::kBanner:
      return {false, true};
    case MetadataDisplay::kBoth:
      return {true, true};
  }
  return {};
}

uint64_t BannerBoard::OpenTicket() {
  std::lock_guard<std::mutex> hold(lock_);
  return ++ticket_;
}

void BannerBoard::RetireTickets() {
  std::lock_guard<std::mutex> hold(lock_);
  ++ticket_;
}

std::optional<MapPosition> BannerBoard::Receive(const std::string& label, const std::string& text,
                                                const std::string& dvrTitle, uint64_t ticket) {
  std::lock_guard<std::mutex> hold(lock_);
  if (ticket != kAnyTicket && ticket != ticket_) return std::nullopt;
  bool positionChanged = false, motionChanged = false, mapUpdate = false;
  auto take = [&](const DecodedPosition& p) {
    if (p.latitude) latitude_ = *p.latitude;
    if (p.longitude) longitude_ = *p.longitude;
    mapUpdate = p.latitude || p.longitude;
  };
  if (label == "Line1") {
    lines_[0] = text;
  } else if (label == "Line2") {
    lines_[1] = text;
    take(DecodeLine2Position(text));
  } else if (label == "Line3") {
    lines_[2] = text;
    take(DecodeLine3Position(text));
  } else if (label == "Line4") {
    lines_[3] = text;
  } else if (label == "UTC Time") {
    utcTime_ = text;
    if (clock_ != ClockShown::kRecording)
      lines_[2] = ClockLine(clock_, utcTime_, localTime_, correctionMillis_);
  } else if (label == "Local Time") {
    localTime_ = text;
    lines_[2] = ClockLine(clock_, utcTime_, localTime_, correctionMillis_);
  } else if (label == "GPS Sat Count") {
    satellites_ = text;
    positionChanged = true;
  } else if (label == "Latitude") {
    latitude_ = text;
    positionChanged = true;
  } else if (label == "Longitude") {
    longitude_ = text;
    positionChanged = mapUpdate = true;
  } else if (label == "Speed") {
    speed_ = text;
    motionChanged = true;
  } else if (label == "X Acceleration" || label == "Y Acceleration" || label == "Z Acceleration") {
    acceleration_[static_cast<size_t>(label[0] - 'X')] = text;
    motionChanged = true;
  } else if (label == "Triggers") {
    lines_[3] = "Triggers-" + text;
  }
  if (positionChanged) {
    lines_[0] =
        "DVR " + dvrTitle + ", Sattelites-" + satellites_ + ", Lat " + latitude_ + ", Lon " + longitude_;
  }
  if (motionChanged) {
    lines_[1] = "Speed-" + speed_ + ", Acceleration " + acceleration_[0] + "x," + acceleration_[1] + "y," +
                acceleration_[2] + "z";
  }
  for (std::string& line : lines_) CleanBannerText(line);
  if (!mapUpdate) return std::nullopt;
  return MapPosition{LeadingDecimal(latitude_), LeadingDecimal(longitude_)};
}

std::array<std::string, 4> BannerBoard::Lines() const {
  std::lock_guard<std::mutex> hold(lock_);
  return lines_;
}

void BannerBoard::ClearLines() {
  std::lock_guard<std::mutex> hold(lock_);
  lines_ = {};
  utcTime_.clear();
  localTime_.clear();
}

void BannerBoard::SetClock(ClockShown clock, int64_t correctionMillis) {
  std::lock_guard<std::mutex> hold(lock_);
  clock_ = clock;
  correctionMillis_ = correctionMillis;
  if (!localTime_.empty() || !utcTime_.empty()) {
    lines_[2] = ClockLine(clock_, utcTime_, localTime_, correctionMillis_);
    CleanBannerText(lines_[2]);
  }
}

void BannerBoard::ForgetPosition() {
  std::lock_guard<std::mutex> hold(lock_);
  latitude_.clear();
  longitude_.clear();
}

std::string BannerBoard::Latitude() const {
  std::lock_guard<std::mutex> hold(lock_);
  return latitude_;
}

std::string BannerBoard::Longitude() const {
  std::lock_guard<std::mutex> hold(lock_);
  return longitude_;
}
