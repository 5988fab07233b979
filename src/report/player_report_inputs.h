#pragma once

// What the player gives every incident report, in the command-line mode and
// in the window alike, from its settings and stores.

#include <string>
#include <vector>

#include "report/incident_facts.h"
#include "report/range_map.h"

namespace report {

// The request a report of `recording` starts from: the tool's version, the
// harsh-motion threshold of the settings, the recording's bookmarks and its
// saved redaction list as the pictures' filter. `timeline` is the run's
// files in timeline order as the window plays them (the redaction list is
// keyed by them); empty: as the recording's folder lists them.
IncidentRequest NewReportRequest(const std::string& recording, std::vector<std::string> timeline = {});

// The map source and proxy the settings name, as the map window uses them.
MapAccess StoredMapAccess();

}  // namespace report
