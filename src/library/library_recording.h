#pragma once

// What the library keeps of one recording: a single file, a numbered run or
// a date-stamped group with its continuation files, as the window groups
// them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace library {

struct LibraryFile {
  std::string path;  // absolute
  int64_t bytes = 0;
  int64_t mtimeNanos = 0;  // modification time, nanoseconds since 1970
  std::string sha256;      // 64 hex digits
  bool empty = false;      // 4,000 bytes or less: holds no recording, skipped
  bool operator==(const LibraryFile&) const = default;
};

struct LibraryEvent {
  int64_t centis = 0;  // on the recording's timeline
  std::optional<int64_t> utcMillis, localMillis;
  std::string kind;   // "trigger" or "harsh"
  std::string name;   // the trigger's name, or the axis "X" / "Y"
  std::string value;  // "on", or the reading in g ("+0.5")
  std::optional<double> latitude, longitude;
};

struct LibraryTrackPoint {
  int64_t centis = 0;
  int64_t utcMillis = 0, localMillis = 0;
  double latitude = 0, longitude = 0;
  int64_t speedKmh = 0;
};

struct LibraryRecording {
  int64_t id = 0;  // RecordingId of the first file's path
  std::vector<LibraryFile> files;
  std::string title, version;  // the DVR's
  std::string cameras;         // "1,2,3,4": the cameras with video
  std::optional<int64_t> startUtcMillis, endUtcMillis, startLocalMillis, endLocalMillis;
  int64_t durationCentis = 0;
  std::string checkSummary;  // "clean" or the quick check's findings counted by kind
  int64_t findings = 0;
  std::vector<LibraryEvent> events;
  std::vector<LibraryTrackPoint> track;  // one point a second of the timeline with a position
};

// A stable 63-bit number for a recording, from its first file's path; the
// same on every machine and in every run, so shards and rows agree.
int64_t RecordingId(const std::string& firstPath);

}  // namespace library
