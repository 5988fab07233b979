#include "report/incident_facts.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "clip/extraction_plan.h"
#include "engine/camera_streams.h"
#include "engine/metadata_scan.h"
#include "evidence/integrity_check.h"
#include "evidence/integrity_report_format.h"
#include "evidence/sha256.h"
#include "evidence/track_points.h"

namespace report {
namespace {

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string EventText(const TripEvent& e, const RecordingScan& scan) {
  if (e.kind == TripEventKind::kTrigger) {
    const std::size_t bit = std::size_t(e.trigger);
    const std::string name =
        bit < scan.triggerNames.size() ? scan.triggerNames[bit] : std::to_string(e.trigger);
    return std::string(TripEventKindText(e.kind)) + ": " + name;
  }
  return std::string(TripEventKindText(e.kind)) + ": " + e.axis + " " + (e.tenthsOfG < 0 ? "" : "+") +
         Fixed(e.tenthsOfG / 10.0, 1) + " g";
}

// The record at or before `centis` (the first one when none is before).
const ScannedRecord* RecordAt(const RecordingScan& scan, int64_t centis) {
  const ScannedRecord* found = nullptr;
  for (const FileScan& file : scan.files) {
    for (const ScannedRecord& record : file.records) {
      if (TimelineCentis(file, record) > centis) return found ? found : &record;
      found = &record;
    }
  }
  return found;
}

void ClockTexts(const ScannedRecord* record, std::string& local, std::string& utc) {
  if (!record) return;
  local = ClockText(record->sample.localSeconds, record->sample.milliseconds);
  utc = ClockText(record->sample.utcSeconds, record->sample.milliseconds) + " UTC";
}

// Where in the timeline a finding lies; -1 for one about a whole file.
int64_t FindingCentis(const evidence::Finding& f, const std::vector<clip::ClipSourceFile>& used) {
  if (f.at < 0 || f.file < 0 || std::size_t(f.file) >= used.size()) return -1;
  return used[std::size_t(f.file)].startCentis + int64_t(f.at * 100.0);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

std::string ClockText(uint32_t seconds, int milliseconds) {
  const std::time_t t = std::time_t(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, std::clamp(milliseconds, 0, 999));
  return text;
}

std::string TimelineText(int64_t centis) {
  char text[32];
  std::snprintf(text, sizeof text, "%s.%02d", clip::FormatPosition(centis).c_str(),
                int(std::max<int64_t>(0, centis) % 100));
  return text;
}

bool GatherIncidentFacts(const IncidentRequest& request, const std::vector<clip::ClipSourceFile>& files,
                         const std::atomic<bool>& cancel, IncidentFacts& facts, std::string& error) {
  if (files.empty()) return error = request.recording + ": holds no video", false;
  facts.recordingName = std::filesystem::path(request.recording).filename().string();
  facts.recordingCentis = files.back().endCentis;
  if (request.toCentis <= request.fromCentis || request.fromCentis < 0 ||
      request.fromCentis >= facts.recordingCentis) {
    error = "the range " + TimelineText(request.fromCentis) + " to " + TimelineText(request.toCentis) +
            " is not in the recording (it lasts " + TimelineText(facts.recordingCentis) + ")";
    return false;
  }
  facts.fromCentis = request.fromCentis;
  facts.toCentis = std::min(request.toCentis, facts.recordingCentis);
  const std::array<bool, 4> present = CamerasWithVideo(files.front().path);
  for (int c = 0; c < 4; ++c) {
    if (request.cameras[std::size_t(c)] && !present[std::size_t(c)])
      return error = request.recording + ": camera " + std::to_string(c + 1) + " has no video", false;
  }
  ReadRecordingProperties(request.recording, facts.props, HeaderCorrection::kReportOnly);

  const RecordingScan scan = ScanRecording(request.recording, &cancel);
  if (cancel.load()) return error = "cancelled", false;
  const auto inRange = [&](int64_t centis) { return centis >= facts.fromCentis && centis < facts.toCentis; };
  for (const FileScan& file : scan.files) {
    for (const ScannedRecord& record : file.records) {
      const int64_t centis = TimelineCentis(file, record);
      if (!inRange(centis)) continue;
      const MetadataSample& s = record.sample;
      facts.motion.push_back({centis, double(s.speed), s.accelX / 10.0, s.accelY / 10.0, s.accelZ / 10.0});
    }
  }
  ClockTexts(RecordAt(scan, facts.fromCentis), facts.startLocal, facts.startUtc);
  ClockTexts(RecordAt(scan, facts.toCentis - 1), facts.endLocal, facts.endUtc);
  if (facts.motion.empty()) facts.startLocal = facts.startUtc = facts.endLocal = facts.endUtc = "";
  for (const TripEvent& e : DetectTripEvents(scan, request.harshTenths)) {
    if (!inRange(e.centis)) continue;
    ReportEvent event{e.centis, EventText(e, scan), "", ""};
    ClockTexts(RecordAt(scan, e.centis), event.localTime, event.utcTime);
    facts.events.push_back(std::move(event));
  }
  for (const ReportBookmark& b : request.bookmarks)
    if (inRange(b.centis)) facts.bookmarks.push_back(b);
  std::stable_sort(facts.bookmarks.begin(), facts.bookmarks.end(),
                   [](const ReportBookmark& a, const ReportBookmark& b) { return a.centis < b.centis; });
  const evidence::Track track = evidence::BuildTrack(
      evidence::ScannedSamples(scan, facts.fromCentis, facts.toCentis), facts.recordingName);
  for (const evidence::TrackPoint& p : track.points) facts.track.push_back({p.latitude, p.longitude});

  // The check reads only the files the range uses; its findings outside the
  // range are left out, those about a whole file stay.
  const std::vector<clip::ClipSourceFile> used = clip::FilesForRange(files, facts.fromCentis, facts.toCentis);
  std::vector<std::string> paths;
  for (const clip::ClipSourceFile& f : used) paths.push_back(f.path);
  evidence::IntegrityReport check = evidence::CheckRecording(paths);
  facts.checkError = check.error;
  std::erase_if(check.findings, [&](const evidence::Finding& f) {
    const int64_t at = FindingCentis(f, used);
    return at >= 0 && !inRange(at);
  });
  for (const std::string& line : Lines(evidence::FormatReportText(check))) {
    if (line.starts_with("File ")) continue;  // the sources are listed with their hashes
    (line.starts_with("Camera ") ? facts.checkCameras : facts.findings).push_back(line);
  }

  for (const std::string& path : paths) {
    if (cancel.load()) return error = "cancelled", false;
    SourceFile source;
    source.path = std::filesystem::absolute(path).lexically_normal().string();
    std::error_code ec;
    source.bytes = std::filesystem::file_size(path, ec);
    std::string reason;
    if (!evidence::Sha256OfFile(path, source.sha256, reason))
      return error = path + ": cannot be hashed: " + reason, false;
    facts.sources.push_back(std::move(source));
  }
  return true;
}

}  // namespace report
