#pragma once

// The moments of a trip worth jumping to, found in a whole-trip metadata
// scan: a trigger input turning on, and harsh motion (the X or Y reading
// reaching a threshold). Plain C++, any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/metadata_scan.h"

enum class TripEventKind { kTrigger, kHarshMotion };

struct TripEvent {
  int64_t centis = 0;  // on the run's timeline, hundredths
  int fileIndex = 0;   // into RecordingScan::files
  TripEventKind kind = TripEventKind::kTrigger;
  int trigger = -1;   // the trigger bit 0..10 (kTrigger)
  char axis = 0;      // 'X' or 'Y' (kHarshMotion)
  int tenthsOfG = 0;  // the reading that reached the threshold, signed (kHarshMotion)
};

// Harsh motion: |X| or |Y| at or above this many tenths of g.
inline constexpr int kDefaultHarshTenths = 4;
inline constexpr int kMinHarshTenths = 1;
inline constexpr int kMaxHarshTenths = 127;

// The threshold a stored setting text gives: a whole number within
// kMinHarshTenths..kMaxHarshTenths, otherwise (absent, garbage, out of
// range) the default.
int HarshTenthsFromText(const std::string& text);

// The setting that holds the harsh-motion threshold in tenths of g.
inline constexpr const char* kHarshMotionSetting = "HarshMotionThreshold";
// The same, or nothing for a text that is no such number.
std::optional<int> ParseHarshTenths(const std::string& text);

// Every event in time order. A trigger turns on where its bit is set and was
// not set in the record before (the first record of the trip counts as
// following an all-off record). A file boundary does not turn anything on by
// itself: the record before is the last one of an earlier file. An axis becomes harsh where its reading
// reaches the threshold after one below it; staying harsh is one event. Events at the same time keep trigger
// order, then X before Y.
std::vector<TripEvent> DetectTripEvents(const RecordingScan& scan, int harshTenths = kDefaultHarshTenths);

// Seeking to an event lands this long before it, so the lead-up is seen.
inline constexpr int64_t kEventLeadCentis = 100;
inline int64_t EventSeekTarget(const TripEvent& e) {
  return e.centis > kEventLeadCentis ? e.centis - kEventLeadCentis : 0;
}

// Where Next Event goes from `positionCentis`: the first seek target more
// than kNextEventSlackCentis after it, so a seek that landed a frame short
// of a target still counts as being there. Nothing when no event lies ahead.
std::optional<int64_t> NextEventTarget(const std::vector<TripEvent>& events, int64_t positionCentis);
// Where Previous Event goes: the last seek target more than half a second
// before the position, so pressing it while playing just after a jump goes
// on to the event before instead of back to the same one.
std::optional<int64_t> PreviousEventTarget(const std::vector<TripEvent>& events, int64_t positionCentis);
inline constexpr int64_t kPreviousEventSlackCentis = 50;
inline constexpr int64_t kNextEventSlackCentis = 10;

// "trigger" or "harsh motion".
const char* TripEventKindText(TripEventKind kind);

// The event's value as the modes print it: "on" for a trigger, the reading
// in g with its sign ("+0.5") for harsh motion.
std::string TripEventValueText(const TripEvent& e);
