#pragma once

// The decoded metadata of every video frame of one file as CSV (RFC 4180:
// header row, CRLF line ends, fields with a comma, quote or line break
// quoted).
//
// Columns: channel (1..4, or "meta" for samples of a metadata stream), frame
// (from 0 within its channel or the metadata stream), then the labels the
// decoder delivers: "UTC Time" … "Triggers", or "Line1,Line2,Line3" for
// text-line recordings. Rows follow the file order of the chunks; a frame
// that delivered nothing has empty texts (the frame of a text-line recording
// that revealed its layout, for one). Trigger names are the defaults replaced
// by the file's own names. The file is only read.
//
// Every text is written in UTF-8 (the DVR's own are Windows-1252).

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "evidence/export_status.h"

namespace evidence {

// Writes the rows of `path` on `out`, stopping as soon as `out` fails (the
// caller flushes it and reports that). kBadInput with `reason` (which never
// repeats the path) when the file can't be opened, is no regular file or is
// not an AVI, or when a chunk can't be read; the rows before it stay written.
//
// Speeds are in the unit chosen (metadata/speed_unit.h). When the recorder's
// clock has a correction (`correctionMillis`, or else the one kept for the
// file, evidence/bookmarks.h), a last column "Corrected Local Time (+0:02:13)"
// gives each Local Time moved by it; the recorded times stay as they are.
ExportStatus WriteMetadataCsv(const std::string& path, std::ostream& out, std::string& reason,
                              std::optional<int64_t> correctionMillis = std::nullopt);

// One CSV field from a Windows-1252 text: in UTF-8, quoted when it has to be.
std::string CsvField(const std::string& raw);
// One CSV field from a text that is UTF-8 already (file names), quoted when it has to be.
std::string CsvQuoted(const std::string& utf8);

}  // namespace evidence
