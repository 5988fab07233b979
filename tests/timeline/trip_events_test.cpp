#include "engine/trip_events.h"

#include <gtest/gtest.h>

#include "trip_scan_builder.h"

namespace {

// An event as the table writes it: time, kind letter ('t' trigger, 'x'/'y'
// motion), trigger bit or reading.
struct Want {
  int64_t centis;
  char what;
  int value;
  bool operator==(const Want&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Want& w) {
  return os << "{" << w.centis << " " << w.what << " " << w.value << "}";
}

std::vector<Want> Described(const std::vector<TripEvent>& events) {
  std::vector<Want> out;
  for (const TripEvent& e : events) {
    if (e.kind == TripEventKind::kTrigger)
      out.push_back({e.centis, 't', e.trigger});
    else
      out.push_back({e.centis, char(e.axis == 'X' ? 'x' : 'y'), e.tenthsOfG});
  }
  return out;
}

struct DetectRow {
  const char* name;
  RecordingScan scan;
  int threshold;
  std::vector<Want> want;
};

TEST(TripEvents, DetectsTriggersTurningOnAndHarshMotion) {
  const std::vector<DetectRow> rows = {
      {"a trigger on from the first record turns on there",
       MakeScan({MakeFile(0, 100, {{0, 0b1}, {10, 0b1}, {20, 0}})}),
       4,
       {{0, 't', 0}}},
      {"on, off, on again: two events",
       MakeScan({MakeFile(0, 100, {{0, 0b100}, {10, 0}, {20, 0b100}})}),
       4,
       {{0, 't', 2}, {20, 't', 2}}},
      {"two triggers turning on in one record keep bit order",
       MakeScan({MakeFile(0, 100, {{0, 0}, {10, (1u << 10) | 0b10}})}),
       4,
       {{10, 't', 1}, {10, 't', 10}}},
      {"bits above the eleventh are no triggers",
       MakeScan({MakeFile(0, 100, {{0, 0xFFFFF800u}, {10, 1u << 11}})}),
       4,
       {}},
      {"a trigger held across a file boundary is one event",
       MakeScan({MakeFile(0, 100, {{50, 0b1000}, {90, 0b1000}}), MakeFile(100, 100, {{0, 0b1000}, {10, 0}})}),
       4,
       {{50, 't', 3}}},
      {"off at the end of a file, on at the start of the next",
       MakeScan({MakeFile(0, 100, {{0, 0}, {90, 0}}), MakeFile(100, 100, {{0, 0b1}})}),
       4,
       {{100, 't', 0}}},
      {"a file without records between keeps the state before it",
       MakeScan({MakeFile(0, 100, {{90, 0b1}}), MakeFile(100, 100, {}), MakeFile(200, 100, {{0, 0b1}})}),
       4,
       {{90, 't', 0}}},
      {"harsh at the threshold, not below; staying harsh is one event",
       MakeScan({MakeFile(0, 100, {{0, 0, 3, -3}, {10, 0, 4}, {20, 0, 6}, {30, 0, 0}, {40, 0, 0, -5}})}),
       4,
       {{10, 'x', 4}, {40, 'y', -5}}},
      {"a higher threshold ignores the same readings",
       MakeScan({MakeFile(0, 100, {{0, 0, 3, -3}, {10, 0, 4}, {20, 0, 6}, {30, 0, 0}, {40, 0, 0, -5}})}),
       6,
       {{20, 'x', 6}}},
      {"braking and a trigger in one record: trigger first, then X, then Y",
       MakeScan({MakeFile(0, 100, {{0}, {10, 0b1, -8, 7}})}),
       4,
       {{10, 't', 0}, {10, 'x', -8}, {10, 'y', 7}}},
      {"times are on the run's timeline",
       MakeScan({MakeFile(0, 300, {{0}}), MakeFile(300, 300, {{0}, {150, 0, 0, -9}})}),
       4,
       {{450, 'y', -9}}},
      {"no files, no events", MakeScan({}), 4, {}},
  };
  for (const DetectRow& row : rows) {
    EXPECT_EQ(Described(DetectTripEvents(row.scan, row.threshold)), row.want) << row.name;
  }
}

TEST(TripEvents, NextAndPreviousLandASecondBeforeTheEvent) {
  const RecordingScan scan =
      MakeScan({MakeFile(0, 2000, {{0}, {50, 0b1}, {60}, {500, 0, -6}, {510}, {1500, 0b10}})});
  const std::vector<TripEvent> events = DetectTripEvents(scan);
  ASSERT_EQ(events.size(), 3u);
  struct Row {
    int64_t position;
    std::optional<int64_t> next, previous;
  };
  const std::vector<Row> rows = {
      {0, 400, std::nullopt},  // the first event's target (50 - 100) is clamped to 0: not after 0
      {-11, 0, std::nullopt},  // ... but it is after a position before the start
      {389, 400, 0},
      {390, 1400, 0},  // a seek that landed a frame short of 400 counts as there
      {400, 1400, 0},  // at a target: Next goes on, Previous looks further back than 0.5 s
      {451, 1400, 400},
      {1400, std::nullopt, 400},
      {1449, std::nullopt, 400},
      {1451, std::nullopt, 1400},
      {99999, std::nullopt, 1400},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(NextEventTarget(events, row.position), row.next) << "next from " << row.position;
    EXPECT_EQ(PreviousEventTarget(events, row.position), row.previous) << "previous from " << row.position;
  }
  EXPECT_EQ(NextEventTarget({}, 0), std::nullopt);
}

TEST(TripEvents, ThresholdSettingText) {
  const std::vector<std::pair<std::string, int>> rows = {
      {"", 4},    {"4", 4},  {"1", 1},  {"127", 127}, {"0", 4},
      {"128", 4}, {"-3", 4}, {"5x", 4}, {" 5", 4},    {"99999999999", 4},
  };
  for (const auto& [text, want] : rows) EXPECT_EQ(HarshTenthsFromText(text), want) << '"' << text << '"';
}

}  // namespace
