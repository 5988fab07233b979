#include "app/export_track_mode.h"

#include "app/mode_status.h"
#include "evidence/track_export.h"

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
  const evidence::ExportStatus status = evidence::ExportTrack(file, trackFormat, out, message, &skipped);
  for (const std::string& empty : skipped) err << "qmxplayer: " << empty << ": " << kEmptyFileNote << "\n";
  err << "qmxplayer: " << message << "\n";
  return ExitStatusOf(status);
}
