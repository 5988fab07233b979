#include "export/export_plan.h"

#include <algorithm>

#include "clip/extraction_plan.h"

namespace video_export {

int CaptionBandRows(int fontHeight) {
  const int rows = std::max(fontHeight, 0) + 10;
  return rows + rows % 2;
}

ExportGeometry PlanGeometry(ExportLayout layout, const std::array<bool, 4>& cameras, int cameraWidth,
                            int cameraHeight, int captionRows) {
  ExportGeometry g;
  if (cameraWidth <= 0 || cameraHeight <= 0) return g;
  std::vector<int> chosen;
  for (int c = 0; c < 4; ++c)
    if (cameras[std::size_t(c)]) chosen.push_back(c);
  if (chosen.empty()) return g;
  if (layout == ExportLayout::kSingle) chosen.resize(1);
  const int columns = layout == ExportLayout::kQuad ? 2 : 1;
  // Cells start on even pixels, so each converts its own 4:2:0 chroma.
  const int pitchX = cameraWidth + cameraWidth % 2, pitchY = cameraHeight + cameraHeight % 2;
  for (std::size_t i = 0; i < chosen.size(); ++i)
    g.cells.push_back({chosen[i], int(i % 2) * pitchX * (columns - 1), int(i / 2) * pitchY});
  g.width = pitchX * columns;
  g.pictureHeight = pitchY * columns;
  g.height = g.pictureHeight + std::max(captionRows, 0) + std::max(captionRows, 0) % 2;
  return g;
}

std::string CaptionText(const std::string& recordingName, const std::vector<std::string>& cameraNames,
                        int64_t startCentis, int64_t endCentis) {
  std::string cameras;
  for (const std::string& name : cameraNames) cameras += (cameras.empty() ? "" : ", ") + name;
  return recordingName + "  |  " + cameras + "  |  " + clip::FormatPosition(startCentis) + " - " +
         clip::FormatPosition(endCentis);
}

FrameRate RateOfStream(uint32_t rateField) {
  if (rateField == 0) return {};
  return {int(rateField), rateField < 100000 ? 1000 : 1000000};
}

uint64_t FrameTimeNs(int64_t frame, FrameRate rate) {
  if (rate.numerator <= 0 || frame <= 0) return 0;
  // 128-bit so that hours of frames at microsecond rates never overflow.
  const unsigned __int128 ns = (unsigned __int128)uint64_t(frame) * uint64_t(rate.denominator) * 1000000000u;
  return uint64_t(ns / uint64_t(rate.numerator));
}

uint64_t FrameDurationNs(int64_t frame, FrameRate rate) {
  return FrameTimeNs(frame + 1, rate) - FrameTimeNs(frame, rate);
}

int64_t ExportFrameCount(const std::vector<int64_t>& framesPerCamera) {
  int64_t most = 0;
  for (int64_t n : framesPerCamera) most = std::max(most, n);
  return most;
}

}  // namespace video_export
