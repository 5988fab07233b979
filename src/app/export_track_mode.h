#pragma once

#include <ostream>
#include <string>
#include <vector>

// `qmxplayer --export-track FILE --format gpx|kml|geojson --out OUT`: the
// positions of the recording (or of the numbered run FILE starts) as a track
// file, in degrees as the metadata decoder gives them, with UTC times and
// the speed in km/h. Positions of exactly 0 and impossible jumps are left
// out; `err` gets one line that counts the points written and those left out,
// after a note for each file of the run skipped for holding no recording
// (4,000 bytes or less).
//
// Exit status (mode_status.h): kExitDone; kExitBadInput for a bad command
// line or a FILE that can't be read as a recording; kExitOutputFailed when
// OUT can't be written (an existing OUT is then left as it was).
int RunExportTrackMode(const std::vector<std::string>& args, std::ostream& err);

// The work of the mode, for the window too: reads the recording (or run) and
// writes the track to `out` as `format` ("gpx", "kml", "geojson"). Returns
// the exit status; `message` gets the line the mode prints (the counts on
// success, the reason on failure, each naming its subject); `skipped`, when
// given, the files of the run skipped for holding no recording.
int ExportTrack(const std::string& recording, const std::string& format, const std::string& out,
                std::string& message, std::vector<std::string>* skipped = nullptr);
