#include "app/export_track_mode.h"

#include <filesystem>

#include "app/mode_files.h"
#include "app/mode_status.h"
#include "avi/avi_reader.h"
#include "engine/metadata_scan.h"
#include "evidence/bookmarks.h"
#include "evidence/file_output.h"
#include "evidence/track_formats.h"

int RunExportTrackMode(const std::vector<std::string>& args, std::ostream& err) {
  std::string file, out, format;
  bool bad = args.empty();
  for (std::size_t i = 0; !bad && i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--format" && hasValue) {
      format = args[++i];
    } else if (args[i] == "--out" && hasValue) {
      out = args[++i];
    } else if (file.empty() && !args[i].starts_with("--")) {
      file = args[i];
    } else {
      bad = true;
    }
  }
  evidence::TrackFormat trackFormat;
  if (bad || file.empty() || out.empty() || !evidence::ParseTrackFormat(format, trackFormat)) {
    err << "usage: qmxplayer --export-track FILE --format gpx|kml|geojson --out OUT\n";
    return kExitBadInput;
  }
  std::string message;
  std::vector<std::string> skipped;
  const int status = ExportTrack(file, format, out, message, &skipped);
  for (const std::string& empty : skipped) err << "qmxplayer: " << empty << ": " << kEmptyFileNote << "\n";
  err << "qmxplayer: " << message << "\n";
  return status;
}

int ExportTrack(const std::string& file, const std::string& format, const std::string& out,
                std::string& message, std::vector<std::string>* skipped) {
  evidence::TrackFormat trackFormat = evidence::TrackFormat::kGpx;
  if (!evidence::ParseTrackFormat(format, trackFormat))
    return message = format + ": no track format", kExitBadInput;
  // Both looked at before the scan, which would wait for a FIFO's writer.
  if (const std::string problem = RecordingProblem(file); !problem.empty())
    return message = file + ": " + problem, kExitBadInput;
  if (const avi::OutputRefusal refusal = avi::RefuseOutputs({out}, RecordingSources(file)))
    return message = refusal.output + ": " + refusal.reason, kExitBadInput;
  const RecordingScan scan = ScanRecording(file);
  if (skipped) *skipped = scan.emptyFiles;
  if (scan.files.empty() || (scan.files[0].records.empty() && !scan.files[0].error.empty())) {
    avi::AviReader reader;
    const std::string reason = !scan.files.empty()  ? scan.files[0].error
                               : !reader.Open(file) ? reader.Error()
                                                    : "is no usable recording";
    message = file + ": " + reason;
    return kExitBadInput;
  }
  evidence::Track track =
      evidence::BuildTrack(evidence::ScannedSamples(scan), std::filesystem::path(file).stem().string());
  track.description =
      evidence::ClockCorrectionNote(evidence::LoadRecordingNotes({file}).clockCorrectionMillis);
  std::string error;
  if (!evidence::WriteWholeFile(out, evidence::FormatTrack(track, trackFormat), error)) {
    message = out + ": cannot be written: " + error;
    return kExitOutputFailed;
  }
  message = out + ": " + std::to_string(track.points.size()) + " positions written; left out " +
            std::to_string(track.zeroPositions) + " positions of exactly 0 and " +
            std::to_string(track.impossibleJumps) + " impossible jumps";
  return kExitDone;
}
