#pragma once

// The incident timeline's geometry as pure functions: times to pixels on an
// axis that lines up with the position slider's handle, values to rows, the
// per-pixel envelope of a graph, the spans of the trigger lanes, and the
// record in force at a time. All times are hundredths on the timeline of the
// open recording or sequence; pixels are the strip's own (x to the right).

#include <array>
#include <cstdint>
#include <vector>

#include "engine/metadata_scan.h"
#include "metadata/speed_unit.h"
#include "metadata/trigger_names.h"

// x of time 0 and x of the total; right >= left.
struct TimeAxis {
  int left = 0;
  int right = 0;
  int64_t total = 0;
};

// The axis of a horizontal slider whose groove starts at `grooveLeft` and is
// `grooveWidth` wide with a handle `handleWidth` wide: the handle's centre
// travels from grooveLeft + handle/2 to grooveLeft + groove - handle/2.
TimeAxis AxisOfSlider(int grooveLeft, int grooveWidth, int handleWidth, int64_t total);

// Time to x (rounded, kept within the axis) and x to time (kept within 0..total).
int XOfCentis(const TimeAxis& axis, int64_t centis);
int64_t CentisAtX(const TimeAxis& axis, int x);

// Row of `value` on a graph from `lo` (at `bottom`) to `hi` (at `top`),
// kept within the rows; the middle row when hi <= lo.
int YOfValue(double value, double lo, double hi, int top, int bottom);

struct TimedValue {
  int64_t centis = 0;
  double value = 0;
};
// The lowest and highest value drawn in one pixel column.
struct Column {
  int x = 0;
  double lo = 0, hi = 0;
};
// One column per pixel that holds at least one value, in x order: drawing
// a vertical line per column shows every peak however many records there are.
std::vector<Column> ColumnEnvelope(const TimeAxis& axis, const std::vector<TimedValue>& values);

// One stretch of time [start, end) during which a trigger was on.
struct LaneSpan {
  int64_t start = 0, end = 0;
  bool operator==(const LaneSpan&) const = default;
};
using TriggerLanes = std::array<std::vector<LaneSpan>, kTriggerCount>;

// Each record holds from its time (a file's first record from the file's
// start) until the next record of its file, the last one until the file's
// end. Spans that touch are joined, across file boundaries too; a trigger on
// at the end of a file and off at the start of the next ends at the
// boundary.
TriggerLanes TriggerSpans(const RecordingScan& scan);

// Pixel columns [x0, x1) of a span, at least one column wide.
struct PixelSpan {
  int x0 = 0, x1 = 0;
  bool operator==(const PixelSpan&) const = default;
};
PixelSpan SpanPixels(const TimeAxis& axis, const LaneSpan& span);

// The record in force at `centis` by the same rule, or nothing (before the
// first record, in a file without records, past the end).
struct RecordRef {
  int file = -1;
  int record = -1;
};
RecordRef RecordAt(const RecordingScan& scan, int64_t centis);

// The series the strip draws: speed in the unit the banner shows it in, and
// the raw accelerations in g.
struct TripSeries {
  SpeedUnit unit = SpeedUnit::kMph;
  std::vector<TimedValue> speed;
  std::array<std::vector<TimedValue>, 3> accelG;  // X, Y, Z
};
TripSeries SeriesOf(const RecordingScan& scan, SpeedUnit unit);
