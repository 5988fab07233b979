#include "avi/avi_length.h"

#include <cmath>

#include "avi/avi_reader.h"
#include "avi/frame_timing.h"

namespace avi {

namespace {

constexpr int kMaxVideoStreams = 4;

int64_t StreamLengthCentis(const StreamHeader& h) {
  const double framesPerSecond = FramesPerSecond(h);
  if (!(framesPerSecond > 0)) return 0;
  const double centis = std::trunc(double(h.length) / framesPerSecond * 100.0);
  // Tiny rates over huge scales give lengths no int64 can hold.
  return centis < 9.0e18 ? int64_t(centis) : 0;
}

}  // namespace

AviLength ReadAviLength(const std::string& path) {
  AviReader reader;
  if (!reader.Open(path, AviReader::Load::kHeadersOnly)) return {};
  AviLength result;
  for (int k = 0; k < kMaxVideoStreams; ++k) {
    const int stream = reader.NthStreamOfType(kVids, k);
    if (stream < 0) break;
    result.lengthCentis = StreamLengthCentis(reader.Stream(std::size_t(stream)).header);
    result.videoStreams = k + 1;
  }
  return result;
}

}  // namespace avi
