// The recorder's clock texts, the examiner's clock correction and the speed
// unit: what the banner, the overlays and the exports write.
#include "metadata/clock_text.h"

#include <gtest/gtest.h>

#include "metadata/speed_unit.h"

namespace {

TEST(ClockText, RecorderTimesReadBackAndMoveByTheCorrection) {
  const struct {
    const char* recorded;
    int64_t correction;
    const char* corrected;  // nullptr: no time
  } rows[] = {
      {"3-1-2011  14:05:09.007", 133000, "3-1-2011  14:07:22.007"},
      {"3-1-2011  14:05:09.007", -3600000, "3-1-2011  13:05:09.007"},
      {"12-31-2023  23:59:59.900", 200, "1-1-2024  00:00:00.100"},    // over midnight and the year
      {"3-1-2024  00:00:30.000", -60000, "2-29-2024  23:59:30.000"},  // back into a leap day
      {"1-1-1970  00:00:01.000", -2000, "12-31-1969  23:59:59.000"},  // before the epoch
      {"3-1-2011  14:05:09.007", 0, "3-1-2011  14:05:09.007"},
      {"  -  -           :  :  .", 1000, nullptr},  // the overlay's placeholder
      {"13-1-2011  14:05:09.007", 1000, nullptr},
      {"3-1-2011 14:05:09.007", 1000, nullptr},  // one blank
      {"3-1-2011  24:00:00.000", 1000, nullptr},
      {"3-1-2011  14:05:09.007x", 1000, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.recorded);
    const std::optional<std::string> corrected = CorrectedTimeText(row.recorded, row.correction);
    ASSERT_EQ(corrected.has_value(), row.corrected != nullptr);
    if (row.corrected) {
      EXPECT_EQ(*corrected, row.corrected);
    }
  }
  // The decoder's own text of a record, garbage milliseconds written as they are.
  EXPECT_EQ(FormatRecorderTime(1298988309, 7), "3-1-2011  14:05:09.007");
  EXPECT_EQ(FormatRecorderTime(4294967295, 1234), "2-7-2106  06:28:15.1234");
  EXPECT_EQ(ParseRecorderTime("3-1-2011  14:05:09.007"), 1298988309007);
}

TEST(ClockText, CorrectionsAsTheExaminerTypesThem) {
  const struct {
    const char* text;
    std::optional<int64_t> millis;
    const char* shown;
  } rows[] = {
      {"+00:02:13", 133000, "+0:02:13"},
      {"-1:00:00", -3600000, "-1:00:00"},
      {"0:00:00.5", 500, "+0:00:00.500"},
      {"-0:00:01.25", -1250, "-0:00:01.250"},
      {"26:00:00", 93600000, "+26:00:00"},
      {"-90s", -90000, "-0:01:30"},
      {"2.5s", 2500, "+0:00:02.500"},
      {"0:00:00", 0, "0:00:00"},
      {"", std::nullopt, ""},
      {"+2:13", std::nullopt, ""},
      {"1:60:00", std::nullopt, ""},
      {"1:00:00.1234", std::nullopt, ""},
      {"--1:00:00", std::nullopt, ""},
      {"1:00:00 ", std::nullopt, ""},
      {"90", std::nullopt, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    int64_t millis = 42;
    EXPECT_EQ(ParseClockCorrection(row.text, millis), row.millis.has_value());
    if (!row.millis) {
      EXPECT_EQ(millis, 42);
      continue;
    }
    EXPECT_EQ(millis, *row.millis);
    EXPECT_EQ(FormatClockCorrection(millis), row.shown);
    int64_t again = 0;
    EXPECT_TRUE(ParseClockCorrection(FormatClockCorrection(millis), again));
    EXPECT_EQ(again, millis);
  }
}

TEST(SpeedUnit, TextsInEachUnit) {
  const struct {
    uint32_t kmh;
    SpeedUnit unit;
    const char* text;
  } rows[] = {
      {100, SpeedUnit::kMph, "62"},  // truncated, no unit: the recorder's own banner
      {100, SpeedUnit::kKmh, "100 km/h"},
      {0, SpeedUnit::kKmh, "0 km/h"},
      {1, SpeedUnit::kMph, "0"},
      {4294967295u, SpeedUnit::kMph, "2668768947"},  // garbage never wraps negative
      {4294967295u, SpeedUnit::kKmh, "4294967295 km/h"},
  };
  for (const auto& row : rows) EXPECT_EQ(SpeedText(row.kmh, row.unit), row.text) << row.kmh;
  SpeedUnit unit = SpeedUnit::kMph;
  for (const char* kmh : {"km/h", "KMH", "Km/H"}) {
    EXPECT_TRUE(ParseSpeedUnit(kmh, unit)) << kmh;
    EXPECT_EQ(unit, SpeedUnit::kKmh);
  }
  EXPECT_TRUE(ParseSpeedUnit("mph", unit));
  EXPECT_EQ(unit, SpeedUnit::kMph);
  EXPECT_FALSE(ParseSpeedUnit("knots", unit));
  EXPECT_FALSE(ParseSpeedUnit("", unit));
}

}  // namespace
