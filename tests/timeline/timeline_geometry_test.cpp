#include "ui/core/timeline_geometry.h"

#include <gtest/gtest.h>

#include "trip_scan_builder.h"

namespace {

TEST(TimelineGeometry, TimesAndPixelsFollowTheSliderHandle) {
  // A 400-pixel groove from x 10 with a 20-pixel handle: its centre runs from 20 to 400.
  const TimeAxis axis = AxisOfSlider(10, 400, 20, 1000);
  EXPECT_EQ(axis.left, 20);
  EXPECT_EQ(axis.right, 400);
  struct Row {
    int64_t centis;
    int x;
  };
  for (const Row& row : std::vector<Row>{{0, 20}, {1000, 400}, {500, 210}, {1, 20}, {-50, 20}, {5000, 400}}) {
    EXPECT_EQ(XOfCentis(axis, row.centis), row.x) << row.centis;
  }
  struct Back {
    int x;
    int64_t centis;
  };
  for (const Back& row :
       std::vector<Back>{{20, 0}, {400, 1000}, {210, 500}, {0, 0}, {900, 1000}, {211, 503}}) {
    EXPECT_EQ(CentisAtX(axis, row.x), row.centis) << row.x;
  }
  // Every column maps back onto itself.
  for (int x = axis.left; x <= axis.right; ++x) EXPECT_EQ(XOfCentis(axis, CentisAtX(axis, x)), x);

  const TimeAxis empty = AxisOfSlider(10, 400, 20, 0);
  EXPECT_EQ(XOfCentis(empty, 50), empty.left);
  EXPECT_EQ(CentisAtX(empty, 300), 0);
  const TimeAxis narrow = AxisOfSlider(0, 10, 20, 1000);  // a groove narrower than its handle
  EXPECT_EQ(narrow.right, narrow.left);
  EXPECT_EQ(CentisAtX(narrow, 3), 0);
}

TEST(TimelineGeometry, ValuesToRows) {
  struct Row {
    double value, lo, hi;
    int top, bottom, y;
  };
  for (const Row& r : std::vector<Row>{{0, 0, 100, 10, 60, 60},
                                       {100, 0, 100, 10, 60, 10},
                                       {50, 0, 100, 10, 60, 35},
                                       {150, 0, 100, 10, 60, 10},
                                       {-1, -2, 2, 0, 40, 30},
                                       {-9, -2, 2, 0, 40, 40},
                                       {5, 3, 3, 0, 40, 20}}) {
    EXPECT_EQ(YOfValue(r.value, r.lo, r.hi, r.top, r.bottom), r.y) << r.value;
  }
}

TEST(TimelineGeometry, EnvelopeKeepsEveryPeak) {
  const TimeAxis axis{0, 10, 100};  // ten hundredths a pixel
  const std::vector<TimedValue> values = {{0, 1}, {3, 9}, {4, -2}, {10, 5}, {55, 7}, {100, 0}};
  const std::vector<Column> columns = ColumnEnvelope(axis, values);
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(columns[0].x, 0);
  EXPECT_EQ(columns[0].lo, -2);
  EXPECT_EQ(columns[0].hi, 9);
  EXPECT_EQ(columns[1].x, 1);
  EXPECT_EQ(columns[2].x, 6);  // 55 rounds to column 6 (5.5)
  EXPECT_EQ(columns[3].x, 10);
}

TEST(TimelineGeometry, TriggerLaneSpansAcrossFileBoundaries) {
  struct Row {
    const char* name;
    RecordingScan scan;
    int lane;
    std::vector<LaneSpan> want;
  };
  const std::vector<Row> rows = {
      {"a span ends at the next record that is off",
       MakeScan({MakeFile(0, 100, {{0, 1}, {10, 1}, {20, 0}})}),
       0,
       {{0, 20}}},
      {"a file's first record holds from the file's start",
       MakeScan({MakeFile(200, 100, {{5, 1}, {15, 0}})}),
       0,
       {{200, 215}}},
      {"on at the end of a file and at the start of the next: one span",
       MakeScan({MakeFile(0, 100, {{0, 0}, {90, 2}}), MakeFile(100, 100, {{0, 2}, {10, 0}})}),
       1,
       {{90, 110}}},
      {"on at the end of a file, off at the start of the next: ends at the boundary",
       MakeScan({MakeFile(0, 100, {{0, 0}, {90, 2}}), MakeFile(100, 100, {{0, 0}, {10, 2}})}),
       1,
       {{90, 100}, {110, 200}}},
      {"the last record of the trip holds to its file's end",
       MakeScan({MakeFile(0, 100, {{0, 0}, {50, 4}})}),
       2,
       {{50, 100}}},
      {"a header length shorter than the records gives the last record one hundredth",
       MakeScan({MakeFile(0, 50, {{0, 0}, {80, 4}})}),
       2,
       {{80, 81}}},
      {"a file without records breaks nothing",
       MakeScan({MakeFile(0, 100, {{90, 1}}), MakeFile(100, 100, {}), MakeFile(200, 100, {{0, 1}, {10, 0}})}),
       0,
       {{0, 100}, {200, 210}}},
      {"bits above the eleventh have no lane", MakeScan({MakeFile(0, 100, {{0, 1u << 11}})}), 10, {}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(TriggerSpans(row.scan)[std::size_t(row.lane)], row.want) << row.name;
  }
  const TimeAxis axis{0, 100, 1000};
  EXPECT_EQ(SpanPixels(axis, {100, 200}), (PixelSpan{10, 20}));
  EXPECT_EQ(SpanPixels(axis, {100, 101}), (PixelSpan{10, 11}));  // never thinner than a column
}

TEST(TimelineGeometry, RecordInForceAtATime) {
  const RecordingScan scan = MakeScan(
      {MakeFile(0, 100, {{10}, {20}, {30}}), MakeFile(100, 100, {}), MakeFile(200, 100, {{5}, {50}})});
  struct Row {
    int64_t centis;
    int file, record;
  };
  for (const Row& r : std::vector<Row>{{-1, -1, -1},
                                       {0, 0, 0},  // the first record holds from the file's start
                                       {19, 0, 0},
                                       {20, 0, 1},
                                       {99, 0, 2},
                                       {150, -1, -1},  // a file without records
                                       {200, 2, 0},
                                       {250, 2, 1},
                                       {299, 2, 1},
                                       {300, -1, -1}}) {
    const RecordRef ref = RecordAt(scan, r.centis);
    EXPECT_EQ(ref.file, r.file) << r.centis;
    EXPECT_EQ(ref.record, r.record) << r.centis;
  }
}

TEST(TimelineGeometry, SeriesShowSpeedAsTheBannerDoes) {
  RecordingScan scan = MakeScan({MakeFile(100, 100, {{0, 0, -7, 13}})});
  scan.files[0].records[0].sample.speed = 100;  // km/h: the banner shows 62
  const TripSeries s = SeriesOf(scan, SpeedUnit::kMph);
  ASSERT_EQ(s.speed.size(), 1u);
  EXPECT_EQ(s.speed[0].centis, 100);
  EXPECT_EQ(s.speed[0].value, 62);
  EXPECT_EQ(SeriesOf(scan, SpeedUnit::kKmh).speed[0].value, 100);
  EXPECT_DOUBLE_EQ(s.accelG[0][0].value, -0.7);
  EXPECT_DOUBLE_EQ(s.accelG[1][0].value, 1.3);
  EXPECT_DOUBLE_EQ(s.accelG[2][0].value, 1.0);
}

}  // namespace
