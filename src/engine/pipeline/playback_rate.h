#pragma once

#include <cstdint>
#include <string>

// Playback speed: the ladder of rates the user steps along, whether sound
// plays at a rate, and which frames are worth decoding at a high rate.

// The rates, slowest first: 1/8, 1/4, 1/2, 1, 2, 4, 8, 16.
inline constexpr int kRateSteps = 8;
inline constexpr int kNormalRateStep = 3;
double RateAtStep(int step);  // step clamped to 0..kRateSteps-1
// The step of the ladder nearest to `rate`.
int StepOfRate(double rate);
// One step slower (direction < 0) or faster, stopping at either end.
double NextRate(double rate, int direction);
// "1/4x", "1x", "16x".
std::string RateText(double rate);

// Sound keeps its pitch from 1/2 to 2 times; beyond it is only noise.
bool SoundAtRate(double rate);

// From 4 times on, more pictures pass per second than a screen shows: a
// frame is decoded only when it starts a new span of `rate` display
// periods (30 a second) of recording time. Spans are counted from the
// recording's time 0, so every camera keeps the same instants. 0: keep all.
int64_t ThinningSpanNs(double rate);
// Whether the frame stamped `ptsNs` opens a span later than `lastSpan`
// (-1 before the first frame after a seek); updates `lastSpan` when it does.
bool KeepThinnedFrame(int64_t ptsNs, int64_t spanNs, int64_t& lastSpan);
