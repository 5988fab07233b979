// Process CPU time (user + system) of playing four 720x480 channels at
// 30 fps in real time, through our engine (video, sound to a clocked
// fakesink, metadata) against bare per-channel pipelines
//   filesrc ! avidemux ! queue ! jpegdec ! videoconvert ! BGRx ! fakesink sync=true
// on the same file, in the same run. Prints the ratio ours / bare (want <= 1.25).
// usage: playback_cpu_bench [SECONDS]   (default 60)
#include <gst/gst.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"

namespace {

// No sound card is needed: audio goes to a fakesink.
EngineConfig SilentOutputs() {
  EngineConfig c;
  c.audioSink = "fakesink sync=true";
  return c;
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

double BarePlay(const std::string& file) {
  const double before = CpuSeconds();
  std::vector<GstElement*> pipelines;
  for (int c = 0; c < 4; ++c) {
    const std::string desc =
        "filesrc location=" + file + " ! avidemux name=d d.video_" + std::to_string(c) +
        " ! queue ! jpegdec ! videoconvert ! video/x-raw,format=BGRx ! fakesink sync=true";
    GError* err = nullptr;
    pipelines.push_back(gst_parse_launch(desc.c_str(), &err));
    if (err) {
      std::fprintf(stderr, "%s\n", err->message);
      g_error_free(err);
      return -1;
    }
  }
  for (GstElement* p : pipelines) gst_element_set_state(p, GST_STATE_PLAYING);
  for (GstElement* p : pipelines) {
    GstBus* bus = gst_element_get_bus(p);
    GstMessage* m = gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE,
                                               GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (m) gst_message_unref(m);
    gst_object_unref(bus);
  }
  for (GstElement* p : pipelines) {
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
  }
  return CpuSeconds() - before;
}

double OurPlay(const std::string& file, bool overlayText) {
  const double before = CpuSeconds();
  {
    PlaybackEngine e(nullptr, nullptr, nullptr, SilentOutputs());
    e.SetView(VideoView::Quad());
    e.SetOverlayText(overlayText);
    if (e.OpenSequence({file}) != 0) return -1;
    // The window's timer asks for the position every 150 ms.
    while (e.IsPlaying()) {
      e.GetPosition();
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
  }
  return CpuSeconds() - before;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  gst_init(&argc, &argv);
  const auto dir = std::filesystem::temp_directory_path() / ("qmx_cpu_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  recgen::RecordingOptions o;  // four channels with sound, 720x480, 30 fps
  o.seconds = seconds;
  std::string error;
  const std::string file = (dir / "cpu.avi").string();
  if (!recgen::WriteRecording(file, o, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const double bare = BarePlay(file);
  const double ours = OurPlay(file, false);
  const double oursText = OurPlay(file, true);
  std::printf(
      "cpu time, %.0f s of four channels in real time: bare %.2f s, ours %.2f s, ratio %.2f (want <= 1.25)\n",
      seconds, bare, ours, ours / bare);
  std::printf("  with the metadata text drawn: ours %.2f s, ratio %.2f\n", oursText, oursText / bare);
  std::filesystem::remove_all(dir);
  return 0;
}
