// The step from one file of a sequence to the next, as a viewer sees it:
// the time between the last picture of a file and the first of the next,
// against the time between two pictures inside a file, both measured in the
// same run on a sequence of 30 fps files. Prints the median over five runs
// of the largest boundary gap; want a ratio <= 1.0 (no longer than a frame).
// usage: boundary_bench [SECONDS-PER-FILE]   (default 1.5)
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/pipeline/gst_handles.h"
#include "engine/pipeline/playback_engine.h"
#include "frame_mark.h"
#include "recording_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

// When each picture of channel 1 was handed on, by its frame number.
class ShownTimes : public FrameConsumer {
 public:
  void OnVideoFrame(const VideoFrame& f) override {
    if (f.channel != 0) return;
    const int64_t n = DecodeFrameNumber(f.bgrx, f.width, f.height, f.strideBytes);
    std::lock_guard<std::mutex> l(lock_);
    shown_.emplace_back(n, Clock::now());
  }
  std::vector<std::pair<int64_t, Clock::time_point>> Take() {
    std::lock_guard<std::mutex> l(lock_);
    return std::move(shown_);
  }

 private:
  std::mutex lock_;
  std::vector<std::pair<int64_t, Clock::time_point>> shown_;
};

struct Ended : EngineEvents {
  void OnEndOfRecording() override {
    std::lock_guard<std::mutex> l(lock);
    ended = true;
    changed.notify_all();
  }
  std::mutex lock;
  std::condition_variable changed;
  bool ended = false;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Run {
  double boundaryMs;  // the largest gap where a file ends
  double insideMs;    // the median gap inside files
};

Run PlayOnce(const std::vector<std::string>& files, int framesPerFile) {
  ShownTimes shown;
  Ended ended;
  EngineConfig config;
  config.audioSink = "fakesink sync=true";
  {
    PlaybackEngine e(&shown, nullptr, &ended, config);
    if (e.OpenSequence(files) != 0) return {-1, -1};
    std::unique_lock<std::mutex> l(ended.lock);
    ended.changed.wait_for(l, std::chrono::seconds(60), [&] { return ended.ended; });
  }
  const auto times = shown.Take();
  std::vector<double> inside;
  double boundary = 0;
  for (size_t i = 1; i < times.size(); ++i) {
    if (times[i].first != times[i - 1].first + 1) continue;  // a lost or unreadable picture
    const double ms =
        std::chrono::duration<double, std::milli>(times[i].second - times[i - 1].second).count();
    if (times[i].first % framesPerFile == 0)
      boundary = std::max(boundary, ms);
    else
      inside.push_back(ms);
  }
  return {boundary, Median(inside)};
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1.5;
  gsth::EnsureGstInitialized();
  const auto dir = std::filesystem::temp_directory_path() / ("qmx_boundary_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  recgen::RecordingOptions o;  // 720x480, 30 fps
  o.seconds = seconds;
  o.video = {true, false, false, false};
  o.audio = {true, false, false, false};
  std::string error;
  constexpr int kFiles = 4;
  if (!recgen::WriteSequence(dir, "Bench", kFiles, o, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<std::string> files;
  for (int i = 1; i <= kFiles; ++i)
    files.push_back((dir / ("Bench-00" + std::to_string(i) + ".avi")).string());
  const int framesPerFile = int(seconds * 30 + 0.5);
  std::vector<double> boundary, inside;
  for (int i = 0; i < 5; ++i) {
    const Run r = PlayOnce(files, framesPerFile);
    boundary.push_back(r.boundaryMs);
    inside.push_back(r.insideMs);
  }
  const double b = Median(boundary), f = Median(inside);
  std::printf("file boundary gap: %.1f ms, frame interval inside files %.1f ms, ratio %.2f (want <= 1.0)\n",
              b, f, f > 0 ? b / f : 0.0);
  std::filesystem::remove_all(dir);
  return 0;
}
