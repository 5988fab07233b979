#pragma once

#include <ostream>
#include <string>
#include <vector>

// `qmxplayer FILE --export-bookmarks OUT.csv` (or `qmxplayer
// --export-bookmarks FILE --out OUT.csv`): the bookmarks kept for the
// recording FILE starts, as CSV (evidence/bookmarks.h) in OUT.csv, written
// whole or not at all. `args` are the process arguments after the program.
//
// Exit status: kExitDone (also with no bookmarks: the header alone);
// kExitBadInput for a bad command line, a FILE that is no recording, or an
// OUT that would replace a file of the recording or is no regular file;
// kExitOutputFailed when OUT can't be written. `err` gets one line.
int RunExportBookmarksMode(const std::vector<std::string>& args, std::ostream& err);
