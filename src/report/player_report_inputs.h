#pragma once

// What the player gives every incident report, in the command-line mode and
// in the window alike, from its settings and stores.

#include <string>

#include "report/incident_facts.h"
#include "report/range_map.h"

namespace report {

// The request a report of `recording` starts from: the tool's version and
// the harsh-motion threshold of the settings. The one place where a
// report's inputs from the player's stores (its bookmarks, its picture
// filter) are filled in.
IncidentRequest NewReportRequest(const std::string& recording);

// The map source and proxy the settings name, as the map window uses them.
MapAccess StoredMapAccess();

}  // namespace report
