#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The status strip's texts, the fast-scan speeds and the position slider's
// arithmetic. Positions are hundredths of a second ("centis"); the slider
// works in thousandths of the total (per-mille, 0..1000).

// Playing-state texts of the status strip.
inline constexpr const char* kStatusNoVideo = "No Video Loaded";
inline constexpr const char* kStatusPlaying = "Playing";
inline constexpr const char* kStatusPaused = "Paused";
inline constexpr const char* kStatusStopped = "Stopped";
inline constexpr const char* kStatusConnecting = "Connecting to Stream";

// "H:MM:SS" of one time ("0:01:01"): the clock every time display of the
// window uses.
std::string FormatClockText(int64_t centis);
// "H:MM:SS/H:MM:SS" of the elapsed and total time ("0:01:01/1:02:05").
std::string FormatTimeText(int64_t currentCentis, int64_t totalCentis);
// The elapsed hundredths the time text and the clip window use:
// truncate(perMille x total / 1000).
int64_t CurrentCentis(double perMille, int64_t totalCentis);

// Fast scan: speed -3..3; the jump of one scan step in hundredths (0 for
// speed 0 and out-of-range speeds) and the status suffix (" >>", " <").
int ScanStepCentis(int scanSpeed);
const char* ScanSuffix(int scanSpeed);
// A speed beyond +-3 (a fourth press in one direction) ends the scan.
int NormalizedScanSpeed(int scanSpeed);
// A scan step runs on every third timer tick: given the tick counter,
// whether this tick steps, and the counter afterwards.
bool ScanTickDue(int& tickCounter);

// The resolution text: "%dx%d" of the view's channel, "" in quad view or
// without a checked view or for an unknown (non-positive) size; the scan
// suffix follows either way.
std::string ResolutionText(bool quad, int viewChannel /* 1..4, 0 none */, int width, int height,
                           int scanSpeed);

// The status strip's left text while a recording is open: only the file
// name when the interface is hidden, else "state - name - resolution".
std::string RecordingStatusLine(const std::string& statusText, const std::string& displayName,
                                const std::string& resolution, bool interfaceHidden);
// While a live stream is open without a recording: by connection state
// (0 connecting, -1 failed, anything else connected).
std::string LiveStatusLine(int connectionState);

// Position slider notifications (the platform's scroll codes).
enum class SliderEvent {
  kLineLeft,
  kLineRight,
  kPageLeft,
  kPageRight,
  kThumbTrack,
  kThumbPosition,
  kEndScroll,
  kOther
};

struct SliderDrag {
  bool held = false;  // the timer leaves the slider alone
  int target = 0;     // per-mille to seek to when the drag ends
};

// Applies one notification to the drag state; returns the per-mille to seek
// to, if the notification seeks. `position` is the engine's per-mille,
// `thumb` the slider's thumb position.
std::optional<int> OnSliderEvent(SliderDrag& drag, SliderEvent event, int thumb, double position);

// The skip commands: while playing they change the scan speed (no clamp
// here), while paused they step one frame.
int SkipScanSpeed(int scanSpeed, int direction /* +1 forward, -1 backward */, bool playing);
