#pragma once

// What an incident report states about a range of a recording, gathered
// from the recording itself: its properties, the clock times of the range,
// the motion records (speed, acceleration), the trip's events, the
// integrity check's findings, the positions, and the SHA-256 of every
// source file. Plain C++ over the AVI reader and the metadata scan; never
// writes to a recording. Any thread (the integrity check joins its own
// workers before it returns).

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "clip/clip_extraction.h"
#include "engine/recording_properties.h"
#include "engine/trip_events.h"

namespace report {

// A moment the user marked, with the note kept for it. The report lists
// those of the range; where they come from is the caller's business.
struct ReportBookmark {
  int64_t centis = 0;  // on the timeline, hundredths
  std::string label;
  std::string note;
};

// Changes a decoded picture in place before the report shows it (a
// redaction, for one): packed RGB rows, 3 bytes a pixel, top row first.
// `centis` is the picture's time on the timeline.
using PictureFilter = std::function<void(int camera, int64_t centis, uint8_t* rgb, int width, int height)>;

struct IncidentRequest {
  std::string recording;  // FILE as given; the numbered run it starts is read
  int64_t fromCentis = -1;
  int64_t toCentis = -1;
  std::array<bool, 4> cameras{};  // camera 1..4 chosen
  std::string caseText;
  std::string examiner;
  std::string tool;  // "qmxplayer 0.1", on every page
  int harshTenths = kDefaultHarshTenths;
  std::vector<ReportBookmark> bookmarks;  // of the whole recording; those in the range are shown
  PictureFilter pictureFilter;            // empty: the pictures as recorded
  std::string pictureFilterNote;          // what the filter did, printed with the pictures
};

// One motion record of the range.
struct MotionPoint {
  int64_t centis = 0;  // on the timeline
  double speedKmh = 0;
  double accelX = 0, accelY = 0, accelZ = 0;  // g
};

struct ReportEvent {
  int64_t centis = 0;
  std::string what;                // "trigger: Panic" / "harsh motion: X -0.5 g"
  std::string localTime, utcTime;  // of the nearest record at or before it; "" when none
};

struct SourceFile {
  std::string path;  // absolute
  uint64_t bytes = 0;
  std::string sha256;
};

struct GeoPosition {
  double latitude = 0, longitude = 0;
};

struct IncidentFacts {
  std::string recordingName;  // FILE's name without its folder
  RecordingProperties props;
  int64_t fromCentis = 0, toCentis = 0;                // the range, the end clipped to the recording
  int64_t recordingCentis = 0;                         // the timeline's length
  std::string startLocal, startUtc, endLocal, endUtc;  // "" when the range holds no record
  std::vector<MotionPoint> motion;
  std::vector<ReportEvent> events;
  std::vector<ReportBookmark> bookmarks;  // those in the range, in time order
  std::vector<std::string> findings;      // the integrity check's, of the range, as lines
  std::string checkError;                 // a file the check could not read
  std::vector<std::string> checkCameras;  // one line per camera: frames and rates
  std::vector<GeoPosition> track;         // the range's positions, no-fix and jumps left out
  std::vector<SourceFile> sources;        // the files the range uses
};

// Gathers the facts of `request`'s range. False with a one-line reason in
// `error` (naming its file where one is at fault) when the range is not in
// the recording, a chosen camera has no video or a source cannot be read
// or hashed. `cancel` stops the metadata scan and the hashing early (false
// then, with "cancelled").
bool GatherIncidentFacts(const IncidentRequest& request, const std::vector<clip::ClipSourceFile>& files,
                         const std::atomic<bool>& cancel, IncidentFacts& facts, std::string& error);

// "2011-03-01 14:05:09.007" of seconds since 1970 (no zone applied).
std::string ClockText(uint32_t seconds, int milliseconds);

// "0:01:05.25": a timeline position as the status clock shows it.
std::string TimelineText(int64_t centis);

}  // namespace report
