#include "library/recording_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "engine/metadata_scan.h"
#include "engine/recording_properties.h"
#include "evidence/integrity_check.h"
#include "evidence/sha256.h"
#include "metadata/metadata_sample.h"
#include "metadata/windows1252.h"

namespace library {
namespace {

bool HasPosition(const MetadataSample& s) {
  if (s.latitude == 0 && s.longitude == 0) return false;  // no fix
  const double lat = PackedCoordinateToDegrees(s.latitude), lon = PackedCoordinateToDegrees(s.longitude);
  return lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180;
}

int64_t UtcMillis(const MetadataSample& s) {
  return int64_t(s.utcSeconds) * 1000 + s.milliseconds;
}
int64_t LocalMillis(const MetadataSample& s) {
  return int64_t(s.localSeconds) * 1000 + s.milliseconds;
}

// The quick check's findings counted by kind, in the order first found:
// "clean", or "3 findings: 2 dropped frame, 1 cut short".
std::string CheckSummary(const evidence::IntegrityReport& report) {
  if (report.findings.empty()) return "clean";
  std::vector<std::pair<std::string, int>> counts;
  for (const evidence::Finding& f : report.findings) {
    const std::string name = evidence::FindingName(f.kind);
    auto at = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == name; });
    if (at == counts.end())
      counts.emplace_back(name, 1);
    else
      ++at->second;
  }
  std::string text =
      std::to_string(report.findings.size()) + (report.findings.size() == 1 ? " finding:" : " findings:");
  for (std::size_t i = 0; i < counts.size(); ++i)
    text += (i ? ", " : " ") + std::to_string(counts[i].second) + " " + counts[i].first;
  return text;
}

// The record an event was found at: the one of its file at the event's time.
const ScannedRecord* RecordOf(const RecordingScan& scan, const TripEvent& e) {
  const FileScan& file = scan.files[std::size_t(e.fileIndex)];
  auto at = std::lower_bound(file.records.begin(), file.records.end(), e.centis - file.startCentis,
                             [](const ScannedRecord& r, int64_t c) { return r.centis < c; });
  return at == file.records.end() ? nullptr : &*at;
}

}  // namespace

bool StampFile(const std::string& path, LibraryFile& file) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  file.path = path;
  file.bytes = int64_t(st.st_size);
  file.mtimeNanos = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

std::string ReadLibraryRecording(const FoundRecording& found, LibraryRecording& out,
                                 const std::atomic<bool>* cancel, int harshTenths) {
  out = LibraryRecording{};
  out.id = RecordingId(found.files.front());
  std::vector<std::string> usable;
  std::vector<evidence::CheckFile> checkFiles;
  for (std::size_t i = 0; i < found.files.size(); ++i) {
    LibraryFile file;
    if (!StampFile(found.files[i], file)) return found.files[i] + ": " + std::strerror(errno);
    file.empty = found.empty[i];
    out.files.push_back(file);
    checkFiles.push_back({file.path, file.empty});
    if (!file.empty) usable.push_back(file.path);
  }

  const FileScanner scanFile = [](const std::string& path, const std::atomic<bool>* stop,
                                  const ScanProgress& progress) {
    return ScanRecordingFile(path, 0, stop, progress);
  };
  const RecordingScan scan = ScanRecordingFiles(usable, cancel, {}, scanFile);
  if (cancel && cancel->load()) return kScanCancelledError;
  if (scan.files.empty()) return "no usable recording";
  const FileScan& first = scan.files.front();
  if (!first.error.empty() && first.records.empty() && !first.textLines) return first.error;

  evidence::CheckOptions quick;
  quick.decodePictures = false;
  quick.workers = 1;
  // The check's reads hash the files too: the costliest part of indexing,
  // every byte, is read once.
  quick.hashFiles = true;
  const evidence::IntegrityReport report = evidence::CheckRecording(checkFiles, quick);
  if (!report.Readable()) return report.error;
  if (report.files.size() != out.files.size()) return "the files changed while they were read";
  for (std::size_t i = 0; i < out.files.size(); ++i) {
    if (report.files[i].sha256.empty()) return out.files[i].path + ": could not be read to its end";
    out.files[i].sha256 = report.files[i].sha256;
  }
  out.checkSummary = CheckSummary(report);
  out.findings = int64_t(report.findings.size());
  for (const evidence::CameraSummary& c : report.cameras)
    out.cameras += (out.cameras.empty() ? "" : ",") + std::to_string(c.camera);

  RecordingProperties props;
  ReadRecordingProperties(usable.front(), props, HeaderCorrection::kReportOnly);
  // The DVR's texts are Windows-1252; the library, like every output, holds UTF-8.
  out.title = Utf8FromWindows1252(props.dvrTitle);
  out.version = Utf8FromWindows1252(props.dvrVersion);

  const FileScan& last = scan.files.back();
  out.durationCentis = last.startCentis + last.lengthCentis;
  int64_t lastSecond = -1;
  for (const FileScan& file : scan.files) {
    for (const ScannedRecord& r : file.records) {
      const MetadataSample& s = r.sample;
      if (s.utcSeconds != 0) {
        if (!out.startUtcMillis) out.startUtcMillis = UtcMillis(s), out.startLocalMillis = LocalMillis(s);
        out.endUtcMillis = UtcMillis(s), out.endLocalMillis = LocalMillis(s);
      }
      const int64_t centis = TimelineCentis(file, r);
      if (centis / 100 == lastSecond || !HasPosition(s)) continue;
      lastSecond = centis / 100;
      out.track.push_back({centis, UtcMillis(s), LocalMillis(s), PackedCoordinateToDegrees(s.latitude),
                           PackedCoordinateToDegrees(s.longitude), int64_t(s.speed)});
    }
  }

  for (const TripEvent& e : DetectTripEvents(scan, harshTenths)) {
    LibraryEvent event;
    event.centis = e.centis;
    event.kind = e.kind == TripEventKind::kTrigger ? "trigger" : "harsh";
    event.name = e.kind == TripEventKind::kTrigger
                     ? Utf8FromWindows1252(scan.triggerNames[std::size_t(e.trigger)])
                     : std::string(1, e.axis);
    event.value = TripEventValueText(e);
    if (const ScannedRecord* r = RecordOf(scan, e)) {
      if (r->sample.utcSeconds != 0)
        event.utcMillis = UtcMillis(r->sample), event.localMillis = LocalMillis(r->sample);
      if (HasPosition(r->sample)) {
        event.latitude = PackedCoordinateToDegrees(r->sample.latitude);
        event.longitude = PackedCoordinateToDegrees(r->sample.longitude);
      }
    }
    out.events.push_back(std::move(event));
  }
  return "";
}

int64_t RecordingId(const std::string& firstPath) {
  const std::string hex = evidence::Sha256Hex(firstPath.data(), firstPath.size());
  return int64_t(std::stoull(hex.substr(0, 16), nullptr, 16) >> 1);
}

}  // namespace library
