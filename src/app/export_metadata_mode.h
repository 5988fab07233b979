#pragma once

#include <ostream>
#include <string>

// `qmxplayer --export-metadata FILE`: the decoded metadata of every video
// frame as CSV on `out` (evidence/metadata_csv.h describes the columns).
//
// Returns the exit status (mode_status.h): kExitDone; kExitBadInput with one
// line on `err` naming the reason when FILE can't be opened, is no regular
// file or is not an AVI, or when a chunk can't be read (the rows before it
// stay written); kExitOutputFailed as soon as `out` can't be written.
int RunExportMetadataMode(const std::string& path, std::ostream& out, std::ostream& err);
