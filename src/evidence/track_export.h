#pragma once

// The positions of a recording (or of the numbered run it starts) as a track
// file, in degrees as the metadata decoder gives them, with UTC times and
// the speed in km/h. Positions of exactly 0 and impossible jumps are left
// out.

#include <string>
#include <vector>

#include "evidence/export_status.h"
#include "evidence/track_formats.h"

namespace evidence {

// Reads the recording (or run) and writes the track to `out` as `format`.
// `message` gets one line naming its subject: the counts written and left
// out on success, the reason on failure. `skipped`, when given, gets the
// files of the run skipped for holding no recording (4,000 bytes or less).
// kBadInput when `recording` can't be read as a recording or `out` would
// replace one of its files; kOutputFailed when `out` can't be written (an
// existing `out` is then left as it was).
ExportStatus ExportTrack(const std::string& recording, TrackFormat format, const std::string& out,
                         std::string& message, std::vector<std::string>* skipped = nullptr);

}  // namespace evidence
