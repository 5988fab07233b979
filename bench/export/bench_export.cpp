// The video export against ffmpeg doing the same on the same file in the
// same run: four 720x480 cameras at 30 fps for 60 s stacked 2 x 2, one line
// of text drawn, x264 at the same speed preset and constant quality, AAC
// sound. Prints "export ... ratio" (ours / ffmpeg, want <= 1.0), of the
// time taken and of the processor time used.
#include <sys/resource.h>

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "clip/clip_extraction.h"
#include "export/video_exporter.h"
#include "metadata/qt/glyph_font_rasterizer.h"
#include "recording_writer.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor seconds (user and system) of this process or of its waited-for
// children: on a shared machine the fairer measure of the work done.
double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  CreateProcessGlyphFonts();
  char folderName[] = "/tmp/qmxbenchexportXXXXXX";
  if (!mkdtemp(folderName)) return 1;
  const std::filesystem::path folder = folderName;
  const std::filesystem::path source = argc > 1 ? std::filesystem::path(argv[1]) : folder / "quad.avi";
  if (argc <= 1) {
    recgen::RecordingOptions o;
    o.seconds = 60;
    o.fps = 30;
    std::string error;
    if (!recgen::WriteRecording(source, o, error)) {
      std::fprintf(stderr, "bench_export: %s\n", error.c_str());
      return 1;
    }
  }
  const std::string preset = "veryfast";
  const int quality = 21;

  video_export::VideoExportRequest request;
  request.files = clip::ListTimelineFiles(source.string());
  if (request.files.empty()) return 1;
  request.startCentis = 0;
  request.endCentis = request.files.back().endCentis;
  request.cameras = {true, true, true, true};
  request.audioCamera = 0;
  request.recordingName = source.filename().string();
  request.destination = (folder / "ours.mp4").string();
  request.speedPreset = preset;
  request.quality = quality;
  std::atomic<bool> cancel{false};
  auto start = std::chrono::steady_clock::now();
  double cpuStart = CpuSeconds(RUSAGE_SELF);
  const video_export::VideoExportOutcome outcome = video_export::ExportVideo(request, cancel);
  const double ours = Seconds(start), oursCpu = CpuSeconds(RUSAGE_SELF) - cpuStart;
  if (outcome.status != video_export::VideoExportStatus::kDone) {
    std::fprintf(stderr, "bench_export: %s\n", outcome.reason.c_str());
    return 1;
  }

  const std::string s = "'" + source.string() + "'";
  const std::string command =
      "ffmpeg -v error -y -i " + s +
      " -filter_complex \"[0:v:0][0:v:1][0:v:2][0:v:3]xstack=inputs=4:layout=0_0|w0_0|0_h0|w0_h0,"
      "pad=iw:ih+36:0:0,drawtext=fontfile=/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf:"
      "fontsize=22:fontcolor=white:x=8:y=h-30:text='" +
      source.filename().string() +
      " Camera 1 Camera 2 Camera 3 Camera 4'[v]\" -map \"[v]\" -map 0:a:0 -c:v libx264 -preset " + preset +
      " -crf " + std::to_string(quality) + " -pix_fmt yuv420p -c:a aac -ar 48000 -movflags +faststart '" +
      (folder / "ffmpeg.mp4").string() + "'";
  start = std::chrono::steady_clock::now();
  cpuStart = CpuSeconds(RUSAGE_CHILDREN);
  const int status = std::system(command.c_str());
  const double theirs = Seconds(start), theirsCpu = CpuSeconds(RUSAGE_CHILDREN) - cpuStart;
  if (status != 0) {
    std::fprintf(stderr, "bench_export: ffmpeg failed (%d)\n", status);
    return 1;
  }
  std::printf(
      "export of %lld frames %dx%d: ours %.2f s, ffmpeg %.2f s, ratio %.2f (want <= 1.0); "
      "processor time ours %.2f s, ffmpeg %.2f s, ratio %.2f\n",
      (long long)outcome.frames, outcome.width, outcome.height, ours, theirs, ours / theirs, oursCpu,
      theirsCpu, oursCpu / theirsCpu);
  if (!std::getenv("QMX_BENCH_KEEP"))
    std::filesystem::remove_all(folder);
  else
    std::printf("kept %s\n", folder.c_str());
  return 0;
}
