#include "clip/extraction_plan.h"

#include <algorithm>
#include <cstdio>

namespace clip {

std::string FormatPosition(int64_t centis) {
  const int64_t p = std::max<int64_t>(centis, 0);
  char text[80];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(p / 360000),
                static_cast<long long>(p / 6000 - (p / 360000) * 60),
                static_cast<long long>(p / 100 - (p / 6000) * 60));
  return text;
}

int SegmentCount(double seconds) {
  return int(seconds / kSegmentSeconds + 1);
}

std::vector<double> SegmentLengths(double seconds) {
  std::vector<double> lengths;
  double done = 0;
  while (done < seconds) {
    const double piece = std::min(seconds - done, kSegmentSeconds);
    lengths.push_back(piece);
    done += piece;
  }
  return lengths;
}

std::string SegmentOutputName(const std::string& destination, int number, bool severalSegments) {
  if (!severalSegments) return destination;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "-%03d.avi", number);
  return destination.substr(0, destination.size() >= 4 ? destination.size() - 4 : 0) + suffix;
}

std::vector<ClipSourceFile> FilesForRange(const std::vector<ClipSourceFile>& files, int64_t startCentis,
                                          int64_t endCentis) {
  std::vector<ClipSourceFile> taken;
  auto first = std::find_if(files.begin(), files.end(),
                            [&](const ClipSourceFile& f) { return f.endCentis > startCentis; });
  for (auto it = first; it != files.end(); ++it) {
    taken.push_back(*it);
    if (it->endCentis >= endCentis) break;
  }
  return taken;
}

bool CameraOffered(bool fourChannel, const std::array<bool, 4>& firstFileCameras, int camera) {
  if (camera < 0 || camera > 3) return false;
  return fourChannel ? firstFileCameras[std::size_t(camera)] : camera == 0;
}

bool ExtractPossible(const std::array<bool, 4>& cameras, int64_t startCentis, int64_t endCentis,
                     const std::string& destination) {
  const bool anyCamera = cameras[0] || cameras[1] || cameras[2] || cameras[3];
  return anyCamera && startCentis != -1 && endCentis != -1 && !destination.empty();
}

double OverallProgress(int segment, int segments, int step, int stepsPerSegment, double fraction) {
  if (segments <= 0 || stepsPerSegment <= 0) return 0;
  const double inSegment = (step + std::clamp(fraction, 0.0, 1.0)) / stepsPerSegment;
  return std::clamp((segment + std::min(inSegment, 1.0)) / segments, 0.0, 1.0);
}

}  // namespace clip
