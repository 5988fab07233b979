#pragma once

// What one generated recording file holds. The defaults give a two-second
// four-channel 720×480 recording at 30 fps with audio on every channel,
// metadata in every frame and the configuration block at the start.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace recgen {

enum class MetaPlacement { kFrames, kStream, kBoth, kNone };
enum class TextLines { kNone, kA, kB };
enum class ConfigSource { kNone, kDefault, kFile };

// One scripted happening of a calm trip (times in seconds of the run, from
// global frame 0): trigger bit `value` on for start <= t < end, or the X or
// Y reading `value` (tenths of g) in the one frame whose time is in
// [start, start + 1 / fps).
// With a `period`, the happening comes again every `period` seconds from
// `start` on.
struct Incident {
  char kind = 't';  // 't' trigger, 'x' or 'y' acceleration
  int value = 0;
  double start = 0, end = 0;
  double period = 0;
};

// A fault written on purpose, so the integrity check has something to find.
enum class FaultKind {
  kDropFrame,     // the camera's frame is not written
  kRepeatFrame,   // the camera's frame is a byte copy of its frame before
  kCorruptFrame,  // the second half of the frame's picture data is zeroed and its end marker lost
  kDropAudio,     // the camera's audio chunk of that frame is not written
  kClockBack,     // from that frame on, every record's time is `seconds` earlier
};

// A point the vehicle passes, at `seconds` of the run (from global frame 0).
struct Waypoint {
  double latitude = 0, longitude = 0;  // decimal degrees
  double seconds = 0;
};

struct FrameFault {
  FaultKind kind = FaultKind::kDropFrame;
  int camera = 1;      // 1..4 (not used by kClockBack)
  int64_t frame = 0;   // frame of the file, from 0
  double seconds = 0;  // kClockBack only
};

struct RecordingOptions {
  int width = 720;  // picture size of each camera (four-channel); set by the kind otherwise
  int height = 480;
  // The display aspect each video stream's OpenDML header (vprp) states, as
  // X:Y; {0, 0} writes no such header.
  std::pair<int, int> statedAspect{0, 0};
  int kind = 0;  // 0 four-channel, 1..3 the two-channel layouts
  bool header380 = false;
  std::array<bool, 4> video{true, true, true, true};  // channels 1..4 with a video stream
  std::array<bool, 4> audio{true, true, true, true};  // channels 1..4 with an audio stream
  double seconds = 2.0;
  double fps = 30.0;
  MetaPlacement meta = MetaPlacement::kFrames;
  TextLines textLines = TextLines::kNone;  // two-channel text-line frames (no binary record then)
  ConfigSource config = ConfigSource::kDefault;
  std::string configFile;
  bool configAtEnd = false;
  std::string title = "Test DVR";
  std::vector<std::string> triggerNames;  // empty: kDefaultTriggerNames
  std::string version = "4CH DVR v2.13";  // "" writes no version chunk
  bool h264 = false;
  bool oneStreamHeader = false;
  bool streamNames = true;  // strn chunks in the DVR's pin naming
  // The metadata stream's header as the DVR itself writes it: scale 1, rate
  // the whole frame rate, sample size 56, quality -1.
  bool dvrMetaHeader = false;
  uint32_t startUtc = 1298988309;  // 2011-03-01 14:05:09 UTC, time of global frame 0
  int quality = 75;
  int64_t firstFrame = 0;  // global number of this file's first frame (sequences continue it)
  // A calm trip: no triggers and X = Y = 0 (Z at 1 g) apart from `incidents`.
  bool scripted = false;
  std::vector<Incident> incidents;
  std::vector<FrameFault> faults;
  // A scripted route: straight lines between the waypoints (in time order),
  // standing at the first before it and at the last after it. Empty: the
  // default loop.
  std::vector<Waypoint> route;
  // Sequences: the record times of every file after the first start this
  // much later than the frame count says, as if the recorder paused.
  double fileGapSeconds = 0;
};

// Whether a fault of `kind` is set for the camera's frame k of the file.
bool HasFault(const RecordingOptions& options, FaultKind kind, int camera, int64_t frame);

inline constexpr int kLocalOffsetSeconds = -8 * 3600;  // the DVR's local time is UTC−8
extern const std::array<const char*, 11> kDefaultTriggerNames;

// Frames per stream in one file: seconds × fps, at least 1.
int64_t FrameCount(const RecordingOptions& options);
// The trigger names the configuration block carries.
std::vector<std::string> EffectiveTriggerNames(const RecordingOptions& options);
// Frame size of the one video stream of a two-channel kind, or the camera size.
void FrameSize(const RecordingOptions& options, int& width, int& height);

// Reads "t:BIT@START-END", "x:TENTHS@SECONDS" and "y:TENTHS@SECONDS" items,
// each optionally followed by "/PERIOD", comma-separated ("calm" for none);
// "" means success.
std::string ParseIncidents(const std::string& text, std::vector<Incident>& out);

// Reads "LAT,LON@SECONDS;LAT,LON@SECONDS;..." with times rising; "" means success.
std::string ParseRoute(const std::string& text, std::vector<Waypoint>& out);

// Reads the options of `write`, `sequence` and `group` from args[begin..].
// Unknown options and bad values give a one-line message; "" means success.
// Options that only the caller knows (--prefix, --continuations, --mark) are
// returned in `rest` unparsed, in order.
std::string ParseRecordingOptions(const std::vector<std::string>& args, std::size_t begin,
                                  RecordingOptions& options, std::vector<std::string>& rest);

}  // namespace recgen
