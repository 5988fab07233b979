#pragma once

// Makes an incident report of a range: gathers its facts from the
// recording, takes each chosen camera's picture at the start of the range
// and at each of its events (through the request's picture filter), draws
// the range's map, paints the PDF and writes it whole: the file appears
// only when complete, and a failure leaves none. Never writes to the
// recording or beside it.
//
// Threads: blocks its thread (the recording is read and hashed, the map
// source may be asked); never the window thread. Needs a Qt GUI
// application object.

#include <atomic>
#include <functional>
#include <string>

#include "report/incident_facts.h"
#include "report/range_map.h"

namespace report {

enum class ReportStatus {
  kDone,
  kBadInput,     // the range, a camera or a source file is at fault; or the output is refused
  kWriteFailed,  // the PDF could not be written
  kCancelled,
};

struct ReportOutcome {
  ReportStatus status = ReportStatus::kBadInput;
  std::string reason;  // one line, naming the file at fault; empty when done
  int pages = 0;
  std::string sha256;  // of the PDF written
};

// Progress 0..1, called from the report's thread.
using ReportProgress = std::function<void(double fraction)>;

ReportOutcome MakeIncidentReport(const IncidentRequest& request, const MapAccess& map, const std::string& out,
                                 const std::atomic<bool>& cancel, const ReportProgress& progress = {});

}  // namespace report
