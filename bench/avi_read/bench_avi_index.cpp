// Opens recordings made of one indexed part followed by many empty AVIX
// parts (a recorder that kept starting new parts), one indexed frame for
// every ten parts, and compares the cost per part at 20,000 parts with the
// cost at 200,000 in the same run. Loading the index is linear when the
// ratio stays near 1; a cost of every movi list times every index entry
// would make it about 10.
//
//   bench_avi_index

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "avi/avi_format.h"
#include "avi/avi_reader.h"

namespace {

using namespace avi;
using Clock = std::chrono::steady_clock;

constexpr int kPartsPerFrame = 10;
constexpr int kFrameBytes = 64;
constexpr int kRuns = 5;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  out.resize(out.size() + 4);
  WriteLE32(&out[out.size() - 4], v);
}

// A one-stream recording with `frames` small frames indexed by idx1, then
// `parts` empty AVIX parts.
std::vector<uint8_t> Recording(int frames, int parts) {
  std::vector<uint8_t> strl;
  StreamHeader h;
  h.type = kVids;
  h.handler = kMJPG;
  h.scale = 1;
  h.rate = 30;
  h.length = uint32_t(frames);
  uint8_t strh[kStreamHeaderBytes];
  SerializeStreamHeader(h, strh);
  Put32(strl, kLIST), Put32(strl, 4 + 8 + kStreamHeaderBytes), Put32(strl, kStrl);
  Put32(strl, kStrh), Put32(strl, kStreamHeaderBytes);
  strl.insert(strl.end(), strh, strh + kStreamHeaderBytes);

  MainHeader main;
  main.streams = 1;
  main.totalFrames = uint32_t(frames);
  uint8_t avih[kMainHeaderBytes];
  SerializeMainHeader(main, avih);
  std::vector<uint8_t> hdrl;
  Put32(hdrl, kLIST), Put32(hdrl, uint32_t(4 + 8 + kMainHeaderBytes + strl.size())), Put32(hdrl, kHdrl);
  Put32(hdrl, kAvih), Put32(hdrl, kMainHeaderBytes);
  hdrl.insert(hdrl.end(), avih, avih + kMainHeaderBytes);
  hdrl.insert(hdrl.end(), strl.begin(), strl.end());

  std::vector<uint8_t> movi, idx1;
  Put32(movi, kLIST), Put32(movi, 4 + frames * (8 + kFrameBytes)), Put32(movi, kMovi);
  for (int k = 0; k < frames; ++k) {
    Put32(idx1, StreamChunkId(0, "dc")), Put32(idx1, kAviifKeyframe);
    Put32(idx1, uint32_t(movi.size() - 8)), Put32(idx1, kFrameBytes);
    Put32(movi, StreamChunkId(0, "dc")), Put32(movi, kFrameBytes);
    movi.resize(movi.size() + kFrameBytes, uint8_t(k));
  }
  std::vector<uint8_t> file;
  const uint32_t riffSize = uint32_t(4 + hdrl.size() + movi.size() + 8 + idx1.size());
  Put32(file, kRIFF), Put32(file, riffSize), Put32(file, kAVI);
  file.insert(file.end(), hdrl.begin(), hdrl.end());
  file.insert(file.end(), movi.begin(), movi.end());
  Put32(file, kIdx1), Put32(file, uint32_t(idx1.size()));
  file.insert(file.end(), idx1.begin(), idx1.end());
  for (int i = 0; i < parts; ++i) {
    Put32(file, kRIFF), Put32(file, 16), Put32(file, kAVIX), Put32(file, kLIST), Put32(file, 4),
        Put32(file, kMovi);
  }
  return file;
}

// Median seconds of one Open() of the recording with `parts` parts.
double OpenSeconds(const std::string& path, int parts) {
  const int frames = parts / kPartsPerFrame;
  const std::vector<uint8_t> bytes = Recording(frames, parts);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  std::vector<double> runs;
  for (int r = 0; r < kRuns; ++r) {
    AviReader reader;
    const auto start = Clock::now();
    if (!reader.Open(path) || reader.ChunkCount(0) != std::size_t(frames)) {
      std::fprintf(stderr, "bench_avi_index: the test recording did not open: %s\n", reader.Error().c_str());
      return -1;
    }
    runs.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace

int main() {
  const std::string path = (std::filesystem::temp_directory_path() / "bench_avi_index.avi").string();
  const int small = 20000, large = 200000;
  const double a = OpenSeconds(path, small);
  const double b = OpenSeconds(path, large);
  std::filesystem::remove(path);
  if (a <= 0 || b <= 0) return 1;
  std::printf("open, %d empty AVIX parts:  %.3f s\n", small, a);
  std::printf("open, %d empty AVIX parts: %.3f s\n", large, b);
  std::printf("cost per part, %dk vs %dk parts: %.2f (1.0 = linear, 10 = quadratic)\n", large / 1000,
              small / 1000, (b / large) / (a / small));
  return 0;
}
