#include "app/export_evidence_mode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "app/export_metadata_mode.h"
#include "app/mode_arguments.h"
#include "app/mode_status.h"
#include "avi/avi_reader.h"
#include "avi/frame_timing.h"
#include "clip/clip_extraction.h"
#include "engine/camera_streams.h"
#include "engine/metadata_scan.h"
#include "engine/recording_layout.h"
#include "engine/recording_properties.h"
#include "evidence/file_output.h"
#include "evidence/integrity_check.h"
#include "evidence/integrity_report_format.h"
#include "evidence/package_manifest.h"
#include "evidence/track_formats.h"
#include "snapshot/jpeg_file.h"

namespace {

int Usage(std::ostream& err) {
  err << "usage: qmxplayer --export-evidence FILE --from CENTIS --to CENTIS --cameras 1,2,3,4 --out DIR\n";
  return kExitBadInput;
}

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
                      std::string& csv, std::string& error) {
  bool header = false;
  for (const clip::ClipSourceFile& file : files) {
    if (file.endCentis <= from || file.startCentis >= to) continue;
    avi::AviReader reader;
    if (!reader.Open(file.path, avi::AviReader::Load::kHeadersOnly))
      return error = file.path + ": " + reader.Error(), false;
    const double fps = VideoRate(reader, 0);
    std::ostringstream rows, problems;
    if (RunExportMetadataMode(file.path, rows, problems) != kExitDone) return error = problems.str(), false;
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

// Each chosen camera's first frame of the range, decoded and written as a
// JPEG by the snapshot writer.
bool WriteStartSnapshots(const std::vector<clip::ClipSourceFile>& files, const EvidenceRequest& r,
                         std::string& error) {
  for (const clip::ClipSourceFile& file : files) {
    if (file.endCentis <= r.fromCentis) continue;
    avi::AviReader reader;
    if (!reader.Open(file.path)) return error = file.path + ": " + reader.Error(), false;
    for (const int camera : r.cameras) {
      int stream = -1;
      for (std::size_t s = 0; s < reader.StreamCount() && stream < 0; ++s) {
        const std::string name = StreamPinName(int(s), reader.Stream(s).name);
        if (reader.Stream(s).header.type == avi::kVids && PinChannel(name) == camera - 1) stream = int(s);
      }
      const int64_t k = std::max<int64_t>(0, FrameAt(file, VideoRate(reader, camera), r.fromCentis));
      std::vector<uint8_t> jpeg;
      int width = 0, height = 0;
      std::unique_ptr<uint8_t[]> rgb;
      if (stream >= 0 && reader.ReadChunk(std::size_t(stream), std::size_t(k), jpeg))
        rgb = ReadJpegMemory(jpeg.data(), jpeg.size(), width, height);
      const std::string out = r.folder + "/camera-" + std::to_string(camera) + ".jpg";
      if (!rgb) continue;  // no decodable frame there: the integrity report tells why
      if (!WriteJpegFile(out.c_str(), rgb.get(), width, height, 75))
        return error = out + ": cannot be written", false;
    }
    return true;
  }
  return true;
}

bool WriteText(const std::string& folder, const std::string& name, const std::string& text,
               std::string& error) {
  std::string reason;
  if (evidence::WriteWholeFile(folder + "/" + name, text, reason)) return true;
  error = folder + "/" + name + ": cannot be written: " + reason;
  return false;
}

}  // namespace

int ExportEvidencePackage(const EvidenceRequest& r, const std::atomic<bool>& cancel,
                          const std::function<void(double)>& progress, std::string& message) {
  const auto report = [&](double f) {
    if (progress) progress(f);
  };
  const std::vector<clip::ClipSourceFile> files = clip::ListTimelineFiles(r.recording);
  if (files.empty()) {
    avi::AviReader reader;
    message = r.recording + ": " + (reader.Open(r.recording) ? "is no usable recording" : reader.Error());
    return kExitBadInput;
  }
  if (r.toCentis <= r.fromCentis || r.fromCentis >= files.back().endCentis) {
    message = "the range " + std::to_string(r.fromCentis) + " to " + std::to_string(r.toCentis) +
              " hundredths is not in the recording (it lasts " + std::to_string(files.back().endCentis) + ")";
    return kExitBadInput;
  }
  const std::array<bool, 4> present = CamerasWithVideo(files.front().path);
  for (const int camera : r.cameras) {
    if (!present[std::size_t(camera - 1)]) {
      message = r.recording + ": camera " + std::to_string(camera) + " has no video";
      return kExitBadInput;
    }
  }
  std::error_code ec;
  std::filesystem::create_directories(r.folder, ec);
  if (ec || !std::filesystem::is_directory(r.folder) || !std::filesystem::is_empty(r.folder, ec)) {
    message = r.folder + ": " + (ec ? ec.message() : "is not an empty folder");
    return kExitOutputFailed;
  }

  // The clips first: they are the package's reason to be.
  RecordingProperties props;
  ReadRecordingProperties(r.recording, props, HeaderCorrection::kReportOnly);
  clip::ExtractRequest extract;
  extract.files = files;
  extract.startCentis = r.fromCentis;
  extract.endCentis = std::min(r.toCentis, files.back().endCentis);
  for (const int camera : r.cameras) extract.cameras[std::size_t(camera - 1)] = true;
  extract.destination = r.folder + "/clip.avi";
  extract.triggerNames.assign(props.triggerNames.begin(), props.triggerNames.end());
  extract.dvrTitle = props.dvrTitle;
  const clip::ExtractOutcome clip = clip::ExtractClip(extract, cancel, [&](double f) { report(0.6 * f); });
  if (clip.status != clip::ExtractStatus::Done) {
    message = "the clip could not be extracted: " + clip.message;
    return clip.status == clip::ExtractStatus::WriteFailed ? kExitOutputFailed : kExitBadInput;
  }

  evidence::PackageDescription package;
  package.tool = std::string("qmxplayer ") + QMX_VERSION;
  package.fromCentis = r.fromCentis;
  package.toCentis = extract.endCentis;
  package.cameras = r.cameras;
  for (const std::string& out : clip.outputs)
    package.clips.push_back(std::filesystem::path(out).filename().string());
  std::vector<std::string> paths;
  for (const clip::ClipSourceFile& f : files) {
    paths.push_back(f.path);
    package.sources.push_back(
        {std::filesystem::absolute(f.path).lexically_normal().string(), 0, "", f.startCentis});
  }

  std::string csv, error;
  if (!RangeMetadataCsv(files, r.fromCentis, extract.endCentis, csv, error)) {
    message = error;
    return kExitBadInput;
  }
  if (!WriteText(r.folder, "metadata.csv", csv, message)) return kExitOutputFailed;
  report(0.65);
  const RecordingScan scan = ScanRecording(r.recording, &cancel);
  const evidence::Track track =
      evidence::BuildTrack(evidence::ScannedSamples(scan, r.fromCentis, extract.endCentis),
                           std::filesystem::path(r.recording).stem().string());
  if (!WriteText(r.folder, "track.gpx", evidence::FormatTrack(track, evidence::TrackFormat::kGpx), message))
    return kExitOutputFailed;
  if (!WriteStartSnapshots(files, r, message)) return kExitOutputFailed;
  report(0.7);
  const evidence::IntegrityReport integrity = evidence::CheckRecording(paths);
  if (!WriteText(r.folder, "integrity.txt", evidence::FormatReportText(integrity), message) ||
      !WriteText(r.folder, "integrity.json", evidence::FormatReportJson(integrity), message))
    return kExitOutputFailed;
  report(0.8);
  if (!evidence::HashSources(package, error)) {
    message = error;
    return kExitBadInput;
  }
  if (!WriteText(r.folder, evidence::kPackageJsonName, evidence::FormatPackageJson(package), message))
    return kExitOutputFailed;
  if (!evidence::WriteManifest(r.folder, package, error)) {
    message = r.folder + "/" + error;
    return kExitOutputFailed;
  }
  report(1.0);
  return kExitDone;
}

int RunExportEvidenceMode(const std::vector<std::string>& args, std::ostream& err) {
  EvidenceRequest request;
  bool from = false, to = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    const std::string& a = args[i];
    if (a == "--from" && hasValue) {
      if (!ParseCentis(args[++i], request.fromCentis)) return Usage(err);
      from = true;
    } else if (a == "--to" && hasValue) {
      if (!ParseCentis(args[++i], request.toCentis)) return Usage(err);
      to = true;
    } else if (a == "--cameras" && hasValue) {
      std::array<bool, 4> chosen{};
      if (!ParseCameraList(args[++i], chosen)) return Usage(err);
      for (int c = 0; c < 4; ++c)
        if (chosen[std::size_t(c)]) request.cameras.push_back(c + 1);
    } else if (a == "--out" && hasValue) {
      request.folder = args[++i];
    } else if (request.recording.empty() && !a.starts_with("--")) {
      request.recording = a;
    } else {
      return Usage(err);
    }
  }
  if (request.recording.empty() || request.folder.empty() || !from || !to || request.cameras.empty())
    return Usage(err);
  std::atomic<bool> cancel{false};
  std::string message;
  const int status = ExportEvidencePackage(request, cancel, {}, message);
  if (status != kExitDone) return ModeFailure(err, "export-evidence", message, status);
  return kExitDone;
}
