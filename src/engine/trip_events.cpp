#include "engine/trip_events.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "metadata/trigger_names.h"

std::optional<int> ParseHarshTenths(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < kMinHarshTenths || value > kMaxHarshTenths)
    return std::nullopt;
  return value;
}

int HarshTenthsFromText(const std::string& text) {
  return ParseHarshTenths(text).value_or(kDefaultHarshTenths);
}

std::vector<TripEvent> DetectTripEvents(const RecordingScan& scan, int harshTenths) {
  std::vector<TripEvent> events;
  const uint32_t triggerMask = (1u << kTriggerCount) - 1;
  uint32_t before = 0;
  bool harshX = false;
  bool harshY = false;
  for (std::size_t f = 0; f < scan.files.size(); ++f) {
    const FileScan& file = scan.files[f];
    for (const ScannedRecord& r : file.records) {
      const int64_t t = TimelineCentis(file, r);
      const uint32_t bits = r.sample.triggerBits & triggerMask;
      const uint32_t turnedOn = bits & ~before;
      for (int bit = 0; bit < kTriggerCount; ++bit) {
        if (turnedOn & (1u << bit)) {
          TripEvent e;
          e.centis = t;
          e.fileIndex = int(f);
          e.kind = TripEventKind::kTrigger;
          e.trigger = bit;
          events.push_back(e);
        }
      }
      before = bits;
      const auto motion = [&](char axis, int8_t reading, bool& harsh) {
        const bool now = std::abs(int(reading)) >= harshTenths;
        if (now && !harsh) {
          TripEvent e;
          e.centis = t;
          e.fileIndex = int(f);
          e.kind = TripEventKind::kHarshMotion;
          e.axis = axis;
          e.tenthsOfG = reading;
          events.push_back(e);
        }
        harsh = now;
      };
      motion('X', r.sample.accelX, harshX);
      motion('Y', r.sample.accelY, harshY);
    }
  }
  // Records of one file are in time order and files follow each other, but
  // a damaged file can place a record out of order: keep the list sorted
  // for the jumps, without reordering events of the same time.
  std::stable_sort(events.begin(), events.end(),
                   [](const TripEvent& a, const TripEvent& b) { return a.centis < b.centis; });
  return events;
}

std::optional<int64_t> NextEventTarget(const std::vector<TripEvent>& events, int64_t positionCentis) {
  for (const TripEvent& e : events) {
    const int64_t target = EventSeekTarget(e);
    if (target > positionCentis + kNextEventSlackCentis) return target;
  }
  return std::nullopt;
}

std::optional<int64_t> PreviousEventTarget(const std::vector<TripEvent>& events, int64_t positionCentis) {
  std::optional<int64_t> found;
  for (const TripEvent& e : events) {
    const int64_t target = EventSeekTarget(e);
    if (target < positionCentis - kPreviousEventSlackCentis) found = target;
  }
  return found;
}

const char* TripEventKindText(TripEventKind kind) {
  return kind == TripEventKind::kTrigger ? "trigger" : "harsh motion";
}

std::string TripEventValueText(const TripEvent& e) {
  if (e.kind == TripEventKind::kTrigger) return "on";
  char text[16];
  std::snprintf(text, sizeof text, "%+.1f", e.tenthsOfG / 10.0);
  return text;
}
