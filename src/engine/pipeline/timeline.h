#pragma once

#include <cstdint>
#include <vector>

// The one timeline a run of recording files forms. All times are hundredths
// of a second ("centis"); the pipelines count nanoseconds.

inline constexpr int64_t kNanosPerCenti = 10'000'000;
inline int64_t NanosToCentis(int64_t ns) {
  return ns / kNanosPerCenti;
}
inline int64_t CentisToNanos(int64_t centis) {
  return centis * kNanosPerCenti;
}

// Where a seek goes: `centis` when it lies within 0..total, otherwise the
// fraction perMille/1000 of the total, truncated. The result is kept within
// 0..total, so a slider value below 0 or above 1000 lands on an end of the
// recording instead of before its start or past its last frame.
int64_t SeekTarget(double perMille, int64_t centis, int64_t total);

// A step moves 15 hundredths: back (direction <= 0) not below 0, or forward.
int64_t StepTarget(int64_t positionCentis, int direction);
inline constexpr int64_t kStepCentis = 15;

// The file whose span [start, start + length) holds t; the last file when
// none does (a gap between files, or t at or past the end). -1 when empty.
int FileAt(const std::vector<int64_t>& starts, const std::vector<int64_t>& lengths, int64_t t);

// Offset of t inside a file starting at `start`: 0 when t lies before it.
inline int64_t OffsetInFile(int64_t t, int64_t start) {
  return t > start ? t - start : 0;
}

// Position in thousandths of the total; 0 for an empty timeline.
double PerMille(int64_t positionCentis, int64_t total);
