#include "evidence/track_export.h"

#include <filesystem>

#include "avi/avi_reader.h"
#include "avi/output_guard.h"
#include "engine/metadata_scan.h"
#include "engine/recording_sources.h"
#include "evidence/bookmarks.h"
#include "evidence/file_output.h"

namespace evidence {

ExportStatus ExportTrack(const std::string& file, TrackFormat format, const std::string& out,
                         std::string& message, std::vector<std::string>* skipped) {
  // Both looked at before the scan, which would wait for a FIFO's writer.
  if (const std::string problem = RecordingProblem(file); !problem.empty())
    return message = file + ": " + problem, ExportStatus::kBadInput;
  if (const avi::OutputRefusal refusal = avi::RefuseOutputs({out}, RecordingSources(file)))
    return message = refusal.output + ": " + refusal.reason, ExportStatus::kBadInput;
  const RecordingScan scan = ScanRecording(file);
  if (skipped) *skipped = scan.emptyFiles;
  if (scan.files.empty() || (scan.files[0].records.empty() && !scan.files[0].error.empty())) {
    avi::AviReader reader;
    const std::string reason = !scan.files.empty()  ? scan.files[0].error
                               : !reader.Open(file) ? reader.Error()
                                                    : "is no usable recording";
    message = file + ": " + reason;
    return ExportStatus::kBadInput;
  }
  Track track = BuildTrack(ScannedSamples(scan), std::filesystem::path(file).stem().string());
  track.description = ClockCorrectionNote(LoadRecordingNotes({file}).clockCorrectionMillis);
  std::string error;
  if (!WriteWholeFile(out, FormatTrack(track, format), error)) {
    message = out + ": cannot be written: " + error;
    return ExportStatus::kOutputFailed;
  }
  message = out + ": " + std::to_string(track.points.size()) + " positions written; left out " +
            std::to_string(track.zeroPositions) + " positions of exactly 0 and " +
            std::to_string(track.impossibleJumps) + " impossible jumps";
  return ExportStatus::kDone;
}

}  // namespace evidence
