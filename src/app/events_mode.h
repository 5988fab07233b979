#pragma once

#include <ostream>
#include <string>
#include <vector>

// `qmxplayer --events FILE [--threshold TENTHS]`: the trip's events as CSV
// (RFC 4180: header row, CRLF line ends, UTF-8) on `out`, from one scan of
// the metadata of FILE and the numbered run it starts.
//
// Columns: "time" (hundredths of a second on the run's timeline), "file"
// (the file's name), "kind" ("trigger" or "harsh motion"), "name" (the
// trigger's name from the recording's settings, or the axis "X" / "Y"),
// "value" ("on" for a trigger; the reading in g, "%+.1f", for motion).
// TENTHS is the harsh-motion threshold in tenths of g (1..127); without it
// the stored preference (setting "HarshMotionThreshold", default 4).
//
// A text-line recording has no values: the header alone, and a note on
// `err`. A file of the run of 4,000 bytes or less is skipped with a note on
// `err` and the rest of the run is read. Returns kExitDone; kExitBadInput with one line on `err` for a bad
// command line, for a FILE that is no usable recording, or for a file of the
// run that is cut short or unreadable (the rows found before stay written);
// kExitOutputFailed when `out` can't be written. Only reads the files.
int RunEventsMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
