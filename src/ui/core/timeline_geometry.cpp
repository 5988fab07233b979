#include "ui/core/timeline_geometry.h"

#include <algorithm>
#include <cmath>

namespace {

// Where record k of `file` stops holding: the next record, or the file's end
// (never before the record itself, for files whose header length is short).
int64_t RecordEnd(const FileScan& file, std::size_t k) {
  if (k + 1 < file.records.size()) return TimelineCentis(file, file.records[k + 1]);
  const int64_t fileEnd = file.startCentis + file.lengthCentis;
  const int64_t own = TimelineCentis(file, file.records[k]);
  return std::max(fileEnd, own + 1);
}

int64_t RecordStart(const FileScan& file, std::size_t k) {
  return k == 0 ? std::min(file.startCentis, TimelineCentis(file, file.records[0]))
                : TimelineCentis(file, file.records[k]);
}

}  // namespace

TimeAxis AxisOfSlider(int grooveLeft, int grooveWidth, int handleWidth, int64_t total) {
  const int left = grooveLeft + handleWidth / 2;
  return {left, std::max(left, left + grooveWidth - handleWidth), total};
}

int XOfCentis(const TimeAxis& axis, int64_t centis) {
  if (axis.total <= 0) return axis.left;
  const int64_t t = std::clamp<int64_t>(centis, 0, axis.total);
  const double x = axis.left + double(axis.right - axis.left) * double(t) / double(axis.total);
  return int(std::lround(x));
}

int64_t CentisAtX(const TimeAxis& axis, int x) {
  if (axis.total <= 0 || axis.right <= axis.left) return 0;
  const double f = double(x - axis.left) / double(axis.right - axis.left);
  return std::clamp<int64_t>(std::llround(f * double(axis.total)), 0, axis.total);
}

int YOfValue(double value, double lo, double hi, int top, int bottom) {
  if (!(hi > lo)) return (top + bottom) / 2;
  const double f = std::clamp((value - lo) / (hi - lo), 0.0, 1.0);
  return int(std::lround(bottom - f * (bottom - top)));
}

std::vector<Column> ColumnEnvelope(const TimeAxis& axis, const std::vector<TimedValue>& values) {
  std::vector<Column> columns;
  for (const TimedValue& v : values) {
    const int x = XOfCentis(axis, v.centis);
    if (!columns.empty() && columns.back().x == x) {
      columns.back().lo = std::min(columns.back().lo, v.value);
      columns.back().hi = std::max(columns.back().hi, v.value);
    } else {
      columns.push_back({x, v.value, v.value});
    }
  }
  return columns;
}

TriggerLanes TriggerSpans(const RecordingScan& scan) {
  TriggerLanes lanes;
  for (const FileScan& file : scan.files) {
    for (std::size_t k = 0; k < file.records.size(); ++k) {
      const uint32_t bits = file.records[k].sample.triggerBits;
      if ((bits & ((1u << kTriggerCount) - 1)) == 0) continue;
      const int64_t start = RecordStart(file, k);
      const int64_t end = RecordEnd(file, k);
      for (int bit = 0; bit < kTriggerCount; ++bit) {
        if (!(bits & (1u << bit))) continue;
        std::vector<LaneSpan>& lane = lanes[bit];
        if (!lane.empty() && lane.back().end >= start && lane.back().start <= start)
          lane.back().end = std::max(lane.back().end, end);
        else
          lane.push_back({start, end});
      }
    }
  }
  return lanes;
}

PixelSpan SpanPixels(const TimeAxis& axis, const LaneSpan& span) {
  const int x0 = XOfCentis(axis, span.start);
  const int x1 = XOfCentis(axis, span.end);
  return {x0, std::max(x1, x0 + 1)};
}

RecordRef RecordAt(const RecordingScan& scan, int64_t centis) {
  for (std::size_t f = 0; f < scan.files.size(); ++f) {
    const FileScan& file = scan.files[f];
    if (file.records.empty()) continue;
    if (centis < RecordStart(file, 0) || centis >= RecordEnd(file, file.records.size() - 1)) continue;
    // The last record at or before the time.
    const auto it =
        std::upper_bound(file.records.begin(), file.records.end(), centis,
                         [&](int64_t t, const ScannedRecord& r) { return t < TimelineCentis(file, r); });
    const std::size_t k = it == file.records.begin() ? 0 : std::size_t(it - file.records.begin()) - 1;
    return {int(f), int(k)};
  }
  return {};
}

TripSeries SeriesOf(const RecordingScan& scan, SpeedUnit unit) {
  TripSeries s;
  s.unit = unit;
  for (const FileScan& file : scan.files) {
    for (const ScannedRecord& r : file.records) {
      const int64_t t = TimelineCentis(file, r);
      s.speed.push_back({t, double(SpeedInUnit(r.sample.speed, unit))});
      s.accelG[0].push_back({t, r.sample.accelX / 10.0});
      s.accelG[1].push_back({t, r.sample.accelY / 10.0});
      s.accelG[2].push_back({t, r.sample.accelZ / 10.0});
    }
  }
  return s;
}
