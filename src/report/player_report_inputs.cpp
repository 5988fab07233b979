#include "report/player_report_inputs.h"

#include <cstring>
#include <memory>
#include "base/settings.h"
#include "base/version.h"

#include "clip/extraction_plan.h"
#include "engine/trip_events.h"
#include "evidence/bookmarks.h"
#include "evidence/sha256.h"
#include "export/redaction.h"
#include "export/redaction_store.h"

namespace report {

IncidentRequest NewReportRequest(const std::string& recording, std::vector<std::string> timeline) {
  IncidentRequest request;
  request.recording = recording;
  request.tool = std::string("qmxplayer ") + PlayerVersion();
  request.harshTenths = HarshTenthsFromText(ReadSetting(kHarshMotionSetting));
  if (recording.empty()) return request;
  int k = 0;
  for (const evidence::Bookmark& b : evidence::LoadBookmarks({recording}))
    request.bookmarks.push_back({b.centis, "Bookmark " + std::to_string(++k), b.note});

  if (timeline.empty())
    for (const clip::ClipSourceFile& f : clip::ListTimelineFiles(recording)) timeline.push_back(f.path);
  const std::string listPath = redaction::RedactionListPath(timeline);
  auto list = std::make_shared<redaction::RedactionList>();
  std::string error;
  if (listPath.empty() || !redaction::LoadRedactionList(listPath, *list, error) || list->items.empty())
    return request;
  request.pictureFilter = [list](int camera, int64_t centis, uint8_t* rgb, int width, int height) {
    // The shapes are drawn on BGRx rows; a fill treats the three colours
    // alike, so the RGB order needs no swapping.
    std::vector<uint8_t> bgrx(std::size_t(width) * std::size_t(height) * 4);
    for (std::size_t i = 0, n = std::size_t(width) * std::size_t(height); i < n; ++i)
      std::memcpy(&bgrx[i * 4], rgb + i * 3, 3);
    if (redaction::ApplyRedactions(bgrx.data(), width, height, width * 4, camera, centis, *list) == 0) return;
    for (std::size_t i = 0, n = std::size_t(width) * std::size_t(height); i < n; ++i)
      std::memcpy(rgb + i * 3, &bgrx[i * 4], 3);
  };
  std::string hex;
  if (!evidence::Sha256OfFile(listPath, hex, error)) hex = "unreadable: " + error;
  request.pictureFilterNote = "Redacted by the recording's saved redaction list (SHA-256 " + hex + ")";
  return request;
}

MapAccess StoredMapAccess() {
  return {ReadMapSource(ReadSetting), ReadProxyConfig(ReadSetting)};
}

}  // namespace report
