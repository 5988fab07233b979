#pragma once

// The integrity report as people read it and as programs read it.

#include <string>

#include "evidence/integrity_check.h"

namespace evidence {

// Lines of text: the files, one line per camera, the gaps between files,
// then one line per finding, and a last line "Result: clean" or
// "Result: N findings".
std::string FormatReportText(const IntegrityReport& report);

// One JSON object: "files", "cameras", "boundaries", "findings" (each with
// its "kind" named as FindingName says, "camera", "file", "frame",
// "at_seconds", "seconds", "count", "declared_frames", "found_frames" and
// "detail", null where one does not apply), "error" (null when readable)
// and "clean".
std::string FormatReportJson(const IntegrityReport& report);

}  // namespace evidence
