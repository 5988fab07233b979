#pragma once

#include <ostream>
#include <string>
#include <vector>

// `qmxplayer --export-track FILE --format gpx|kml|geojson --out OUT`: the
// positions of the recording (or of the numbered run FILE starts) as a track
// file (evidence/track_export.h). `err` gets one line that counts the points
// written and those left out, after a note for each file of the run skipped
// for holding no recording (4,000 bytes or less).
//
// Exit status (mode_status.h): kExitDone; kExitBadInput for a bad command
// line or a FILE that can't be read as a recording; kExitOutputFailed when
// OUT can't be written (an existing OUT is then left as it was).
int RunExportTrackMode(const std::vector<std::string>& args, std::ostream& err);
