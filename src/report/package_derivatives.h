#pragma once

// The derived files an evidence package may hold beside its evidence: the
// range as a video anyone can play and the range's incident report. Each
// is described in the package as made from the sources of the range, with
// the settings it was made with.
//
// Threads: the makers run on the package builder's thread, never the
// window thread. They need a Qt GUI application object; the video needs
// the process's glyph fonts too.

#include <array>
#include <cstdint>
#include <string>

#include "evidence/evidence_package.h"
#include "report/incident_facts.h"
#include "report/range_map.h"

namespace report {

inline constexpr const char* kPackageVideoName = "video.mp4";
inline constexpr const char* kPackageReportName = "report.pdf";

// The chosen cameras of the range as --export-video makes them: quad, or
// the camera alone when one is chosen; the first chosen camera's sound.
evidence::PackageDerivative VideoDerivative(const std::string& recording, int64_t fromCentis,
                                            int64_t toCentis, const std::array<bool, 4>& cameras);

// The incident report of `request`'s range, as --report makes it.
evidence::PackageDerivative ReportDerivative(const IncidentRequest& request, const MapAccess& map);

// What the package of `request` is to hold beside its evidence, with the
// player's settings (report::NewReportRequest, report::StoredMapAccess):
// the video when `video`, the report (with `caseText` and `examiner`) when
// `report`.
struct DerivedChoice {
  bool video = false;
  bool report = false;
  std::string caseText, examiner;
};
std::vector<evidence::PackageDerivative> PlayerPackageDerivatives(const evidence::PackageRequest& request,
                                                                  const DerivedChoice& choice);

}  // namespace report
