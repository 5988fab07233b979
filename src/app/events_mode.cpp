#include "app/events_mode.h"

#include <cstdio>
#include <filesystem>
#include <optional>

#include "app/mode_files.h"
#include "app/mode_status.h"
#include "base/settings.h"
#include "engine/metadata_scan.h"
#include "engine/trip_events.h"
#include "evidence/metadata_csv.h"

int RunEventsMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string path;
  int tenths = HarshTenthsFromText(ReadSetting(kHarshMotionSetting));
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--threshold" && i + 1 < args.size()) {
      const std::optional<int> given = ParseHarshTenths(args[++i]);
      if (!given)
        return ModeFailure(err, "--threshold", "wants a whole number of tenths of g from 1 to 127",
                           kExitBadInput);
      tenths = *given;
    } else if (path.empty()) {
      path = args[i];
    } else {
      err << "usage: qmxplayer --events FILE [--threshold TENTHS]\n";
      return kExitBadInput;
    }
  }
  if (path.empty()) {
    err << "usage: qmxplayer --events FILE [--threshold TENTHS]\n";
    return kExitBadInput;
  }

  // Looked at first: the scan would wait for a FIFO's writer.
  if (const std::string problem = RecordingProblem(path); !problem.empty())
    return ModeFailure(err, path, problem, kExitBadInput);
  const RecordingScan scan = ScanRecording(path);
  if (scan.files.empty()) return ModeFailure(err, path, "no usable recording", kExitBadInput);
  const FileScan& first = scan.files.front();
  if (!first.error.empty() && first.records.empty() && !first.textLines)
    return ModeFailure(err, path, first.error, kExitBadInput);

  for (const std::string& empty : scan.emptyFiles)
    err << "qmxplayer: " << empty << ": " << kEmptyFileNote << "\n";

  out << "time,file,kind,name,value\r\n";
  for (const TripEvent& e : DetectTripEvents(scan, tenths)) {
    const std::string file =
        std::filesystem::path(scan.files[std::size_t(e.fileIndex)].path).filename().string();
    const std::string name = e.kind == TripEventKind::kTrigger ? scan.triggerNames[std::size_t(e.trigger)]
                                                               : std::string(1, e.axis);
    out << e.centis << ',' << evidence::CsvQuoted(file) << ',' << TripEventKindText(e.kind) << ','
        << evidence::CsvField(name) << ',' << TripEventValueText(e) << "\r\n";
  }
  if (first.textLines) err << "qmxplayer: " << path << ": text-line recording: no values to find events in\n";

  const int written = FinishOutput(out, err);
  if (written != kExitDone) return written;
  for (const FileScan& f : scan.files) {
    if (!f.error.empty()) return ModeFailure(err, f.path, f.error, kExitBadInput);
  }
  return kExitDone;
}
