// The integrity check and package verification against other programs doing
// the same work, in the same run:
//   check:  the full CheckRecording (every picture decoded) of a one-hour
//           four-camera 720x480 recording against `ffmpeg -i FILE -map 0:v
//           -f null -` (ffmpeg's default threads) on the same file (target:
//           ratio <= 0.5, at least twice as fast);
//   quick:  the quick CheckRecording (headers and ends) against a sequential
//           read of its bytes (target: ratio <= 1.5);
//   verify: `qmxplayer --verify` of an evidence package of that recording
//           against `sha256sum` of the same files (target: ratio <= 1.2).
// Every measurement is the best of a few runs (the decoding pair, minutes
// each, of fewer), taken in turns with its baseline, with the files in the
// page cache, so both sides read from memory.
//
//   bench_evidence [FOLDER]   (default: a folder under the system's temporary
//                             folder; the recording is made once and kept)

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "evidence/integrity_check.h"
#include "evidence/package_manifest.h"
#include "recording_writer.h"
#include "run_command.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kRuns = 5;
constexpr int kDecodeRuns = 2;

// The best time of each of two jobs, run in turns so that both meet the same
// load on a shared machine.
std::pair<double, double> BestOfEach(const std::function<void()>& a, const std::function<void()>& b,
                                     int runs = kRuns) {
  double bestA = 1e300, bestB = 1e300;
  for (int i = 0; i < runs; ++i) {
    for (auto [work, best] : {std::pair{&a, &bestA}, std::pair{&b, &bestB}}) {
      const auto start = Clock::now();
      (*work)();
      *best = std::min(*best, std::chrono::duration<double>(Clock::now() - start).count());
    }
  }
  return {bestA, bestB};
}

uint64_t ReadSequentially(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  std::vector<char> buffer(1 << 20);
  uint64_t total = 0, sum = 0;
  for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;) {
    total += uint64_t(n);
    sum += uint8_t(buffer[std::size_t(n) - 1]);  // keeps the read from being optimised away
  }
  ::close(fd);
  return total + (sum & 0);
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "qmx-bench-evidence";
  fs::create_directories(folder);
  const fs::path recording = folder / "Hour-720x480.avi";
  if (!fs::exists(recording)) {
    std::printf("writing a one-hour four-camera recording (720x480, 15 fps) to %s ...\n", recording.c_str());
    recgen::RecordingOptions o;
    o.width = 720, o.height = 480, o.fps = 15, o.seconds = 3600;
    std::string error;
    if (!recgen::WriteRecording(recording, o, error)) {
      std::fprintf(stderr, "bench_evidence: %s\n", error.c_str());
      return 1;
    }
  }
  const double bytes = double(fs::file_size(recording));

  std::size_t findings = 0;
  int ffmpegStatus = -1;
  const auto [ffmpeg, check] = BestOfEach(
      [&] {
        ffmpegStatus =
            RunShell("ffmpeg -nostdin -v error -i " + ShellQuote(recording.string()) + " -map 0:v -f null -");
      },
      [&] { findings = evidence::CheckRecording({recording.string()}).findings.size(); }, kDecodeRuns);
  std::printf("ffmpeg decode:   %.3f s (exit %d)\n", ffmpeg, ffmpegStatus);
  std::printf("full check:      %.3f s (%.0f MB/s, %zu findings, %u cores)\n", check, bytes / check / 1e6,
              findings, std::thread::hardware_concurrency());
  std::printf("check ratio %.2f against ffmpeg (target <= 0.5)\n", check / ffmpeg);

  const auto [read, quick] = BestOfEach(
      [&] { ReadSequentially(recording.string()); },
      [&] {
        findings = evidence::CheckRecording({recording.string()}, {.decodePictures = false}).findings.size();
      });
  std::printf("sequential read: %.3f s (%.0f MB/s)\n", read, bytes / read / 1e6);
  std::printf("quick check:     %.3f s (%.0f MB/s, %zu findings)\n", quick, bytes / quick / 1e6, findings);
  std::printf("quick ratio %.2f: --quick against a sequential read (target <= 1.5)\n", quick / read);

  // A five-minute package of all four cameras, made once.
  const fs::path package = folder / "package";
  const std::string player = std::string(QMX_APP_DIR) + "/qmxplayer";
  if (!fs::exists(package / evidence::kManifestFileName)) {
    fs::remove_all(package);
    if (RunShell(player + " --export-evidence " + ShellQuote(recording.string()) +
                 " --from 60000 --to 90000 --cameras 1,2,3,4 --out " + ShellQuote(package.string())) != 0) {
      std::fprintf(stderr, "bench_evidence: the package could not be made\n");
      return 1;
    }
  }
  std::string files;
  for (const std::string& name : evidence::PackageFileNames(package.string()))
    files += " " + ShellQuote(name);
  files += " " + ShellQuote(fs::absolute(recording).string());
  const std::string cd = "cd " + ShellQuote(package.string()) + " && ";
  int status = -1;
  const auto [sha, verify] = BestOfEach(
      [&] { RunShell(cd + "sha256sum" + files + " >/dev/null"); },
      [&] { status = RunShell(player + " --verify " + ShellQuote(package.string()) + " >/dev/null"); });
  std::printf("sha256sum:       %.3f s\n", sha);
  std::printf("verify:          %.3f s (exit %d)\n", verify, status);
  std::printf("verify ratio %.2f (target <= 1.2)\n", verify / sha);
  return 0;
}
