#include "evidence/evidence_package.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "avi/avi_reader.h"
#include "avi/frame_timing.h"
#include "avi/output_guard.h"
#include "base/version.h"
#include "clip/clip_extraction.h"
#include "clip/extraction_plan.h"
#include "engine/camera_streams.h"
#include "engine/metadata_scan.h"
#include "engine/recording_layout.h"
#include "engine/recording_properties.h"
#include "evidence/bookmarks.h"
#include "evidence/file_output.h"
#include "evidence/integrity_check.h"
#include "evidence/integrity_report_format.h"
#include "evidence/metadata_csv.h"
#include "evidence/package_log.h"
#include "evidence/package_manifest.h"
#include "evidence/staged_folder.h"
#include "evidence/track_formats.h"
#include "snapshot/jpeg_file.h"
#include "snapshot/jpeg_memory_encoder.h"

namespace evidence {
namespace {

double VideoRate(const avi::AviReader& reader, int camera) {
  for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
    const avi::AviStream& stream = reader.Stream(s);
    const std::string name = StreamPinName(int(s), stream.name);
    if (stream.header.type == avi::kVids &&
        (camera == 0 || (PinChannel(name) == camera - 1 && PinMatchesStreamType(name, kVideoStream))))
      return avi::FramesPerSecond(stream.header);
  }
  return 0;
}

// The frame of `file` at `centis` on the timeline: the first at or after it.
int64_t FrameAt(const clip::ClipSourceFile& file, double fps, int64_t centis) {
  return avi::FirstFrameAtOrAfter(double(centis - file.startCentis) / 100.0, fps);
}

// The --export-metadata rows of every file whose frame lies in the range,
// with the file named in a first column.
bool RangeMetadataCsv(const std::vector<clip::ClipSourceFile>& files, int64_t from, int64_t to,
                      int64_t correctionMillis, std::string& csv, std::string& error) {
  bool header = false;
  for (const clip::ClipSourceFile& file : files) {
    if (file.endCentis <= from || file.startCentis >= to) continue;
    avi::AviReader reader;
    if (!reader.Open(file.path, avi::AviReader::Load::kHeadersOnly))
      return error = file.path + ": " + reader.Error(), false;
    const double fps = VideoRate(reader, 0);
    std::ostringstream rows;
    std::string reason;
    if (WriteMetadataCsv(file.path, rows, reason, correctionMillis) != ExportStatus::kDone)
      return error = file.path + ": " + reason, false;
    std::istringstream in(rows.str());
    std::string line;
    std::getline(in, line);
    if (!header) csv += "file," + line + "\n", header = true;
    const std::string name = CsvField(std::filesystem::path(file.path).filename().string());
    while (std::getline(in, line)) {
      const std::size_t a = line.find(','), b = line.find(',', a + 1);
      if (a == std::string::npos || b == std::string::npos || fps <= 0) continue;
      const double frame = std::strtod(line.substr(a + 1, b - a - 1).c_str(), nullptr);
      const int64_t centis = file.startCentis + int64_t(std::floor(frame * 100.0 / fps + 1e-9));
      if (centis >= from && centis < to) csv += name + "," + line + "\n";
    }
  }
  return true;
}

// Where the package's files go while it is built, and the names they are
// known by in messages: the folder the user asked for.
struct PackageFiles {
  std::string staging, shown;

  std::string Path(const std::string& name) const { return staging + "/" + name; }
  bool Text(const std::string& name, const std::string& text, std::string& message) const {
    std::string reason;
    if (WriteWholeFile(Path(name), text, reason)) return true;
    message = shown + "/" + name + ": " + reason;
    return false;
  }
};

// Each chosen camera's first frame of the range, decoded and written again
// as a JPEG. A frame that is no picture fails the package: an evidence
// package without the picture it promises would mislead.
ExportStatus WriteStartSnapshots(const std::vector<clip::ClipSourceFile>& files, const PackageRequest& r,
                                 const PackageFiles& package, std::string& message) {
  for (const int camera : r.cameras) {
    const std::string who = "camera " + std::to_string(camera);
    bool written = false;
    for (const clip::ClipSourceFile& file : files) {
      avi::AviReader reader;
      if (!reader.Open(file.path))
        return message = file.path + ": " + reader.Error(), ExportStatus::kBadInput;
      const int stream = CameraStream(reader, avi::kVids, camera - 1);
      if (stream < 0) continue;
      const int64_t k = std::max<int64_t>(0, FrameAt(file, VideoRate(reader, camera), r.fromCentis));
      // The range may start after this file's last frame of the camera.
      if (std::size_t(k) >= reader.ChunkCount(std::size_t(stream))) continue;
      const std::string where = file.path + ": " + who + " frame " + std::to_string(k);
      std::vector<uint8_t> jpeg;
      if (!reader.ReadChunk(std::size_t(stream), std::size_t(k), jpeg))
        return message = where + " (the range's first) cannot be read: " + reader.Error(),
               ExportStatus::kBadInput;
      int width = 0, height = 0;
      std::string reason;
      const std::unique_ptr<uint8_t[]> rgb = ReadJpegMemory(jpeg.data(), jpeg.size(), width, height, reason);
      if (!rgb)
        return message = where + " (the range's first) is no picture: " + reason, ExportStatus::kBadInput;
      JpegEncodeOptions options;
      options.quality = 75;
      std::vector<uint8_t> encoded;
      const std::string name = "camera-" + std::to_string(camera) + ".jpg";
      if (!EncodeJpegToMemory(rgb.get(), width, height, width * 3, options, encoded, reason))
        return message = package.shown + "/" + name + ": " + reason, ExportStatus::kOutputFailed;
      if (!package.Text(name, std::string(encoded.begin(), encoded.end()), message))
        return ExportStatus::kOutputFailed;
      written = true;
      break;
    }
    if (!written)
      return message = r.recording + ": the range holds no frame of " + who, ExportStatus::kBadInput;
  }
  return ExportStatus::kDone;
}

// The system's reason at the end of a clip failure's detail ("cannot write
// PATH: No space left on device"): the clip was written under a private
// name the user never sees.
std::string ClipWriteReason(const clip::ExtractOutcome& clip) {
  const std::size_t cut = clip.detail.rfind(": ");
  std::string reason = cut == std::string::npos ? clip.message : clip.detail.substr(cut + 2);
  for (char& c : reason) c = c == '\n' ? ' ' : c;
  return reason;
}

// The derived files asked for, each described as made from the sources of
// the range.
ExportStatus WriteDerivatives(const PackageRequest& r, const std::vector<clip::ClipSourceFile>& used,
                              PackageDescription& description, const std::atomic<bool>& cancel,
                              const PackageFiles& package, PackageLog& log, std::string& message) {
  for (const PackageDerivative& d : r.derivatives) {
    DerivedFile file{d.file, d.kind, {}, {}};
    for (const clip::ClipSourceFile& f : used)
      file.madeFrom.push_back(std::filesystem::absolute(f.path).lexically_normal().string());
    std::string cameras;
    for (const int c : r.cameras) cameras += (cameras.empty() ? "" : ",") + std::to_string(c);
    file.how = {{"tool", std::string("qmxplayer ") + PlayerVersion()},
                {"from_centis", std::to_string(description.fromCentis)},
                {"to_centis", std::to_string(description.toCentis)},
                {"cameras", cameras}};
    log.Step(d.file + ": making the " + d.kind);
    const std::string reason = d.make ? d.make(package.Path(d.file), cancel, file.how) : "nothing makes it";
    if (cancel.load()) return message = "cancelled", ExportStatus::kOutputFailed;
    if (!reason.empty())
      return message = package.shown + "/" + d.file + ": " + reason, ExportStatus::kOutputFailed;
    log.Step(d.file + ": " + d.kind + " made (derived: checked by hash, not frame-compared)");
    description.derived.push_back(std::move(file));
  }
  return ExportStatus::kDone;
}

// Writes every file of the package into `package.staging`; the manifest last.
ExportStatus WritePackage(const PackageRequest& r, const std::vector<clip::ClipSourceFile>& files,
                          const std::atomic<bool>& cancel, const std::function<void(double)>& report,
                          const PackageFiles& package, std::string& message) {
  PackageLog log;
  log.Step("package of " + r.recording + " from " + std::to_string(r.fromCentis) + " to " +
           std::to_string(r.toCentis) + " hundredths begun by qmxplayer " + PlayerVersion());
  // The clips first: they are the package's reason to be.
  RecordingProperties props;
  ReadRecordingProperties(r.recording, props, HeaderCorrection::kReportOnly);
  clip::ExtractRequest extract;
  extract.files = files;
  extract.startCentis = r.fromCentis;
  extract.endCentis = std::min(r.toCentis, files.back().endCentis);
  for (const int camera : r.cameras) extract.cameras[std::size_t(camera - 1)] = true;
  extract.destination = package.Path("clip.avi");
  extract.triggerNames.assign(props.triggerNames.begin(), props.triggerNames.end());
  extract.dvrTitle = props.dvrTitle;
  const clip::ExtractOutcome clip = clip::ExtractClip(extract, cancel, [&](double f) { report(0.6 * f); });
  if (clip.status == clip::ExtractStatus::WriteFailed)
    return message = package.shown + "/clip.avi: " + ClipWriteReason(clip), ExportStatus::kOutputFailed;
  if (clip.status == clip::ExtractStatus::Cancelled)
    return message = "cancelled", ExportStatus::kOutputFailed;
  if (clip.status != clip::ExtractStatus::Done) {
    std::string reason = clip.detail.empty() ? clip.message : clip.detail;
    for (char& c : reason) c = c == '\n' ? ' ' : c;
    return message = "the clip could not be extracted: " + reason, ExportStatus::kBadInput;
  }

  for (const std::string& out : clip.outputs)
    log.Step(std::filesystem::path(out).filename().string() + ": frames copied byte for byte");
  // Only the files the range uses are the package's sources: another file
  // of the run, even an unreadable one, has no part in it.
  const std::vector<clip::ClipSourceFile> used = clip::FilesForRange(files, r.fromCentis, extract.endCentis);
  PackageDescription description;
  description.tool = std::string("qmxplayer ") + PlayerVersion();
  description.fromCentis = r.fromCentis;
  description.toCentis = extract.endCentis;
  description.cameras = r.cameras;
  for (const std::string& out : clip.outputs)
    description.clips.push_back(std::filesystem::path(out).filename().string());
  std::vector<std::string> paths;
  for (const clip::ClipSourceFile& f : used) {
    paths.push_back(f.path);
    description.sources.push_back(
        {std::filesystem::absolute(f.path).lexically_normal().string(), 0, "", f.startCentis});
  }

  std::string csv;
  description.clockCorrectionMillis = LoadRecordingNotes({r.recording}).clockCorrectionMillis;
  if (!RangeMetadataCsv(used, r.fromCentis, extract.endCentis, description.clockCorrectionMillis, csv,
                        message))
    return ExportStatus::kBadInput;
  if (!package.Text("metadata.csv", csv, message)) return ExportStatus::kOutputFailed;
  log.Step("metadata.csv: metadata rows of the range written");
  report(0.65);
  const RecordingScan scan = ScanRecording(r.recording, &cancel);
  Track track = BuildTrack(ScannedSamples(scan, r.fromCentis, extract.endCentis),
                           std::filesystem::path(r.recording).stem().string());
  track.description = ClockCorrectionNote(description.clockCorrectionMillis);
  if (!package.Text("track.gpx", FormatTrack(track, TrackFormat::kGpx), message))
    return ExportStatus::kOutputFailed;
  log.Step("track.gpx: positions of the range written");
  if (const ExportStatus status = WriteStartSnapshots(used, r, package, message);
      status != ExportStatus::kDone)
    return status;
  log.Step("camera pictures: each camera's first frame of the range decoded and saved as JPEG");
  description.bookmarks =
      WritePackageBookmarks(package.staging, {r.recording}, r.fromCentis, extract.endCentis, message);
  if (!description.bookmarks) return message = package.shown + "/" + message, ExportStatus::kOutputFailed;
  log.Step("bookmarks.csv: the recording's bookmarks of the range written");
  report(0.7);
  const IntegrityReport integrity = CheckRecording(paths);
  if (!package.Text("integrity.txt", FormatReportText(integrity), message) ||
      !package.Text("integrity.json", FormatReportJson(integrity), message))
    return ExportStatus::kOutputFailed;
  log.Step(std::string("integrity.txt, integrity.json: integrity check of the sources, ") +
           (integrity.Clean() ? "clean" : std::to_string(integrity.findings.size()) + " findings"));
  report(0.8);
  if (const ExportStatus status = WriteDerivatives(r, used, description, cancel, package, log, message);
      status != ExportStatus::kDone)
    return status;
  report(0.95);
  if (!HashSources(description, message)) return ExportStatus::kBadInput;
  log.Step("sources hashed (SHA-256)");
  if (!package.Text(kPackageJsonName, FormatPackageJson(description), message))
    return ExportStatus::kOutputFailed;
  if (cancel.load()) return message = "cancelled", ExportStatus::kOutputFailed;
  log.Step(std::string(kPackageJsonName) + " written; " + kManifestFileName + " lists every file");
  if (!package.Text(kPackageLogName, log.Text(), message)) return ExportStatus::kOutputFailed;
  std::string error;
  if (!WriteManifest(package.staging, description, error))
    return message = package.shown + "/" + error, ExportStatus::kOutputFailed;
  return ExportStatus::kDone;
}

}  // namespace

ExportStatus BuildPackage(const PackageRequest& r, const std::atomic<bool>& cancel,
                          const std::function<void(double)>& progress, std::string& message) {
  const auto report = [&](double f) {
    if (progress) progress(f);
  };
  const std::vector<clip::ClipSourceFile> files = clip::ListTimelineFiles(r.recording);
  if (files.empty()) {
    avi::AviReader reader;
    message = r.recording + ": " + (reader.Open(r.recording) ? "is no usable recording" : reader.Error());
    return ExportStatus::kBadInput;
  }
  if (r.toCentis <= r.fromCentis || r.fromCentis >= files.back().endCentis) {
    message = "the range " + std::to_string(r.fromCentis) + " to " + std::to_string(r.toCentis) +
              " hundredths is not in the recording (it lasts " + std::to_string(files.back().endCentis) + ")";
    return ExportStatus::kBadInput;
  }
  const std::array<bool, 4> present = CamerasWithVideo(files.front().path);
  for (const int camera : r.cameras) {
    if (!present[std::size_t(camera - 1)]) {
      message = r.recording + ": camera " + std::to_string(camera) + " has no video";
      return ExportStatus::kBadInput;
    }
  }
  std::vector<std::string> sources;
  for (const clip::ClipSourceFile& f : files) sources.push_back(f.path);
  if (const avi::OutputRefusal refusal = avi::RefuseOutputs({r.folder}, sources, avi::OutputKind::kFolder)) {
    message = refusal.output + ": " + refusal.reason;
    return ExportStatus::kBadInput;
  }
  // Built out of sight and put in place whole: a failure leaves nothing.
  StagedFolder folder(r.folder);
  if (!folder.ok()) return message = r.folder + ": " + folder.error(), ExportStatus::kOutputFailed;
  const ExportStatus status = WritePackage(r, files, cancel, report, {folder.path(), r.folder}, message);
  if (status != ExportStatus::kDone) return status;
  if (std::string error; !folder.Commit(error))
    return message = r.folder + ": " + error, ExportStatus::kOutputFailed;
  report(1.0);
  return ExportStatus::kDone;
}

}  // namespace evidence
