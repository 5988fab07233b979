// Extraction throughput: four cameras (video and sound) of a long recording
// cut out whole by ExtractClip, against `ffmpeg -i F -map ... -c copy` of the
// same eight streams, in the same run, best of three each. A ratio of 1.0 or
// more means we are at least as fast. Also times GStreamer's avimux joining
// the same streams, the other way to write the output.
//
//   bench_clip_extract [RECORDING.avi]   (default: a generated 5-minute one)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "clip/clip_extraction.h"
#include "clip/private_temp_folder.h"
#include "recording_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 3;
// avidemux hands the streams over interleaved; avimux waits for all of them.
constexpr const char* kQueue = "queue max-size-buffers=0 max-size-bytes=0 max-size-time=0";

bool Have(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

template <typename F>
double Best(F&& run) {
  double best = 1e30;
  for (int i = 0; i < kRuns; ++i) {
    const auto t0 = Clock::now();
    if (!run()) return -1;
    best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  clip::PrivateTempFolder dir("qmxbench");
  if (!dir.ok()) return std::fprintf(stderr, "bench_clip_extract: no temporary folder\n"), 1;
  std::string source = argc > 1 ? argv[1] : "";
  if (source.empty()) {
    recgen::RecordingOptions o;
    o.width = 360;
    o.height = 240;
    o.fps = 15;
    o.seconds = 300;
    source = (dir.path() / "long.avi").string();
    std::string error;
    std::printf("writing a %g s four-camera recording...\n", o.seconds);
    if (!recgen::WriteRecording(source, o, error)) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
  }
  clip::ExtractRequest request;
  request.files = clip::ListTimelineFiles(source);
  if (request.files.empty())
    return std::fprintf(stderr, "bench_clip_extract: %s is no recording\n", source.c_str()), 1;
  request.files.resize(1);  // the file itself, as ffmpeg reads it
  request.startCentis = 0;
  request.endCentis = request.files[0].endCentis;
  request.cameras = {true, true, true, true};
  request.destination = (dir.path() / "ours.avi").string();
  std::atomic<bool> cancel{false};

  const double ours = Best([&] {
    std::filesystem::remove(request.destination);
    return clip::ExtractClip(request, cancel).status == clip::ExtractStatus::Done;
  });
  if (ours < 0) return std::fprintf(stderr, "bench_clip_extract: our extraction failed\n"), 1;
  const double mb = double(std::filesystem::file_size(request.destination)) / 1e6;
  std::printf("ours: %.3f s for %.1f MB (%.0f MB/s)\n", ours, mb, mb / ours);

  if (Have("gst-launch-1.0")) {
    std::string pipeline = "timeout 120 gst-launch-1.0 -q filesrc location=\"" + source +
                           "\" ! avidemux name=d avimux name=m ! filesink location=\"" +
                           (dir.path() / "avimux.avi").string() + "\"";
    for (int c = 0; c < 4; ++c)
      pipeline +=
          " d.video_" + std::to_string(c) + " ! queue ! m. d.audio_" + std::to_string(c) + " ! queue ! m.";
    const double avimux = Best([&] { return std::system((pipeline + " >/dev/null 2>&1").c_str()) == 0; });
    if (avimux > 0) {
      std::printf("avimux: %.3f s (our writer %.2fx as fast)\n", avimux, avimux / ours);
    } else {
      std::printf("avimux: failed or did not finish within 120 s\n");
    }
  }

  if (!Have("ffmpeg")) {
    std::printf("extract ratio: skipped, ffmpeg is not installed\n");
    return 0;
  }
  std::string command = "ffmpeg -v error -y -i \"" + source + "\"";
  for (int s = 0; s < 8; ++s) command += " -map 0:" + std::to_string(s);
  command += " -c copy \"" + (dir.path() / "ffmpeg.avi").string() + "\" >/dev/null 2>&1";
  const double ffmpeg = Best([&] { return std::system(command.c_str()) == 0; });
  if (ffmpeg < 0) return std::fprintf(stderr, "bench_clip_extract: ffmpeg failed\n"), 1;
  std::printf("ffmpeg: %.3f s\n", ffmpeg);
  std::printf("extract four cameras: ours %.3f s, ffmpeg -c copy %.3f s, ratio %.2f (target >= 1.0)\n", ours,
              ffmpeg, ffmpeg / ours);
  return 0;
}
