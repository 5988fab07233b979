// Scans the metadata of a one-hour four-camera recording and compares the
// time with a plain sequential read of the same file's bytes in the same
// run. The scan reads 56 bytes per frame of one camera through the index,
// so it should cost a small share of reading the file: target ratio <= 0.2.
// Both are timed with the file in the page cache (each runs once first), the
// best of several runs each.
//
//   bench_timeline [RECORDING.avi]   (without one, a one-hour recording of
//                                     small frames is generated and removed)

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/metadata_scan.h"
#include "recording_writer.h"
#include "temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Every byte of the file, in 1 MiB reads.
uint64_t ReadAll(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  std::vector<char> buffer(1 << 20);
  uint64_t total = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n <= 0) break;
    total += uint64_t(n);
  }
  ::close(fd);
  return total;
}

template <typename F>
double Best(F&& f) {
  f();  // warm the page cache and the code
  double best = 1e9;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = Clock::now();
    f();
    best = std::min(best, Seconds(Clock::now() - start));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  TempDir dir;
  std::string path;
  if (argc > 1) {
    path = argv[1];
  } else {
    // An hour at 5 fps on four 720x480 cameras. The generated pictures are
    // far plainer than a road scene, so a high quality setting brings the
    // frames to the 15-40 KB a recorder writes at this size; at the 5,000-byte
    // minimum the file would be mostly per-frame overhead, unlike any trip.
    recgen::RecordingOptions o;
    o.width = 720;
    o.height = 480;
    o.fps = 5;
    o.seconds = 3600;
    o.quality = 95;
    o.audio = {false, false, false, false};
    path = (dir / "hour.avi").string();
    std::string error;
    const auto start = Clock::now();
    if (!recgen::WriteRecording(path, o, error)) {
      std::fprintf(stderr, "bench_timeline: %s\n", error.c_str());
      return 1;
    }
    std::printf("generated %s (%.0f MB) in %.1f s\n", path.c_str(),
                double(std::filesystem::file_size(path)) / 1e6, Seconds(Clock::now() - start));
  }

  std::size_t records = 0;
  uint64_t bytes = 0;
  const double read = Best([&] { bytes = ReadAll(path); });
  const double scan = Best([&] {
    const FileScan s = ScanRecordingFile(path);
    records = s.records.size();
  });
  std::printf("sequential read: %.0f MB in %.3f s\n", double(bytes) / 1e6, read);
  std::printf("metadata scan: %zu records in %.3f s\n", records, scan);
  std::printf("timeline scan ratio (scan / sequential read): %.3f (target <= 0.2)\n", scan / read);
  return 0;
}
