#pragma once

// Paints the incident report as a PDF with Qt's QPdfWriter: a thin shell
// that lays out what GatherIncidentFacts found, the pictures and the map
// on A4 pages, each with its page number and the tool's version. Needs a
// Qt GUI application object (fonts); any thread.

#include <QIODevice>
#include <QImage>
#include <string>
#include <vector>

#include "report/incident_facts.h"
#include "report/range_map.h"

namespace report {

// One camera's picture at one moment of the range.
struct MomentPicture {
  int camera = 0;    // 0..3
  QImage image;      // null when it could not be had
  std::string note;  // the frame it is ("Trip.avi frame 30"), or why there is none
};

// A moment shown in pictures: the start of the range or one of its events.
struct PictureMoment {
  int64_t centis = 0;
  std::string title;  // "Start of the range" / "Event 2: trigger: Panic"
  std::vector<MomentPicture> pictures;
};

struct ReportContent {
  const IncidentRequest* request = nullptr;
  const IncidentFacts* facts = nullptr;
  const RangeMapPicture* map = nullptr;
  const std::vector<PictureMoment>* moments = nullptr;
  std::string madeAt;  // when the report was made, UTC
};

// Writes the PDF to `out` (open for writing). Returns the number of pages,
// 0 with `error` set when the writer failed.
int PaintIncidentReport(const ReportContent& content, QIODevice* out, std::string& error);

}  // namespace report
