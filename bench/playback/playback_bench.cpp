// Playback speed against bare GStreamer pipelines on the same generated
// files, measured in the same run. Prints one ratio per line:
//   decode throughput of four 720x480 channels to BGRx (ours, with our own
//   decoder and the engine's default fast deinterlace, / bare "jpegdec !
//   videoconvert", want >= 1.2; and the same with the adaptive rule), open of a
//   seven-file sequence to the first frame (ours / bare, want <= 1.5),
//   median seek latency (ours / bare, want <= 2.0).
// Each figure is the median of five rounds; in a round each side repeats
// its work for at least two seconds, and the sides alternate, so a busy
// machine slows both alike.
// usage: playback_bench [SECONDS-PER-FILE]   (default 4)
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bare_pipeline.h"
#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"

namespace {

// No sound card is needed: audio goes to a fakesink.
EngineConfig SilentOutputs() {
  EngineConfig c;
  c.audioSink = "fakesink sync=false";
  return c;
}

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

GstElement* Launch(const std::string& desc) {
  GError* err = nullptr;
  GstElement* p = gst_parse_launch(desc.c_str(), &err);
  if (err) {
    std::fprintf(stderr, "%s\n", err->message);
    g_error_free(err);
  }
  return p;
}

void RunToEnd(GstElement* p) {
  gst_element_set_state(p, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(p);
  GstMessage* m =
      gst_bus_timed_pop_filtered(bus, 120 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  if (m) gst_message_unref(m);
  gst_object_unref(bus);
}

std::string Bare(const std::string& file, int channel) {
  return "filesrc location=" + file + " ! avidemux name=d d.video_" + std::to_string(channel) +
         " ! queue ! jpegdec ! videoconvert ! video/x-raw,format=BGRx ! fakesink sync=false";
}

double BareDecode(const std::string& file) {
  std::vector<GstElement*> ps;
  for (int c = 0; c < 4; ++c) {
    ps.push_back(Launch(Bare(file, c)));
    PrerollGraph(ps.back());  // ours is prerolled before its clock starts too
  }
  const auto t = Clock::now();
  std::vector<std::thread> runs;
  for (GstElement* p : ps) runs.emplace_back([p] { RunToEnd(p); });
  for (auto& r : runs) r.join();
  const double s = Since(t);
  for (GstElement* p : ps) {
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
  }
  return s;
}

// `fastDeinterlace`: the engine's default (the user's "FastDeinterlace"
// setting, on unless switched off); false measures the adaptive rule.
double OurDecode(const std::string& file, bool fastDeinterlace) {
  RecordingGraph g;
  RecordingProperties props;
  if (BuildRecordingGraph(g, file, props, nullptr, SilentOutputs()) != 0) return -1;
  g.SetFastDeinterlace(fastDeinterlace);
  for (int c = 0; c < 4; ++c) {
    gsth::Element sink(
        gst_bin_get_by_name(GST_BIN(g.Pipeline()), ("Video " + std::to_string(c + 1)).c_str()));
    if (sink) g_object_set(sink.get(), "sync", FALSE, nullptr);
  }
  const auto t = Clock::now();
  gst_element_set_state(g.Pipeline(), GST_STATE_PLAYING);
  while (!g.AtEnd() && Since(t) < 120) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return Since(t);
}

struct FirstFrame : FrameConsumer {
  std::atomic<bool> seen{false};
  void OnVideoFrame(const VideoFrame&) override { seen = true; }
};

double OurOpen(const std::vector<std::string>& files) {
  FirstFrame first;
  PlaybackEngine e(&first, nullptr, nullptr, SilentOutputs());
  const auto t = Clock::now();
  if (e.OpenSequence(files) != 0) return -1;
  while (!first.seen && Since(t) < 60) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return Since(t);
}

double BareOpen(const std::vector<std::string>& files) {
  const auto t = Clock::now();
  std::vector<GstElement*> ps;
  for (const std::string& f : files) {
    std::string desc = "filesrc location=" + f + " ! avidemux name=d";
    for (int c = 0; c < 4; ++c)
      desc += " d.video_" + std::to_string(c) +
              " ! queue ! jpegdec ! videoconvert ! video/x-raw,format=BGRx ! fakesink";
    GstElement* p = Launch(desc);
    PrerollGraph(p);
    ps.push_back(p);
  }
  const double s = Since(t);
  for (GstElement* p : ps) {
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
  }
  return s;
}

constexpr int kSeeks = 41;
constexpr int kRounds = 5;
constexpr double kRoundSeconds = 2.0;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// One round of one side: `run` repeated for at least kRoundSeconds; the
// median of the values it returned.
template <typename Run>
double Round(Run run) {
  std::vector<double> values;
  const auto t = Clock::now();
  while (values.empty() || Since(t) < kRoundSeconds) values.push_back(run());
  return Median(values);
}

struct Comparison {
  double ours, bare;
};

// Medians over kRounds rounds of each side, alternating.
template <typename Ours, typename Bare>
Comparison Compare(Ours ours, Bare bare) {
  std::vector<double> o, b;
  for (int i = 0; i < kRounds; ++i) {
    b.push_back(Round(bare));
    o.push_back(Round(ours));
  }
  return {Median(o), Median(b)};
}

// A seek until it has been performed: the frame at the target has reached
// every channel's sink.
double OurSeek(const std::string& file, double seconds) {
  PlaybackEngine e(nullptr, nullptr, nullptr, SilentOutputs());
  if (e.OpenSequence({file}) != 0) return -1;
  e.Pause();
  e.WaitTransport(std::chrono::seconds(10));
  std::vector<double> lat;
  for (int i = 0; i < kSeeks; ++i) {
    const int64_t centis = int64_t((i * 37 % 100) / 100.0 * seconds * 100);
    const auto t = Clock::now();
    e.Seek(-1, centis);
    e.WaitTransport(std::chrono::seconds(10));
    lat.push_back(Since(t));
  }
  return Median(lat);
}

double BareSeek(const std::string& file, double seconds) {
  std::string desc = "filesrc location=" + file + " ! avidemux name=d";
  for (int c = 0; c < 4; ++c)
    desc += " d.video_" + std::to_string(c) +
            " ! queue ! jpegdec ! videoconvert ! video/x-raw,format=BGRx ! fakesink";
  GstElement* p = Launch(desc);
  PrerollGraph(p);
  std::vector<double> lat;
  for (int i = 0; i < kSeeks; ++i) {
    const int64_t ns = int64_t((i * 37 % 100) / 100.0 * seconds * GST_SECOND);
    const auto t = Clock::now();
    SeekGraph(p, ns);
    lat.push_back(Since(t));
  }
  gst_element_set_state(p, GST_STATE_NULL);
  gst_object_unref(p);
  return Median(lat);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
  gsth::EnsureGstInitialized();
  const auto dir = std::filesystem::temp_directory_path() / ("qmx_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  recgen::RecordingOptions o;  // four channels, 720x480, 30 fps
  o.seconds = seconds;
  std::string error;
  if (!recgen::WriteSequence(dir, "Bench", 7, o, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<std::string> files;
  for (int i = 1; i <= 7; ++i) files.push_back((dir / ("Bench-00" + std::to_string(i) + ".avi")).string());

  const Comparison decode =
      Compare([&] { return OurDecode(files[0], true); }, [&] { return BareDecode(files[0]); });
  std::printf("decode throughput: ours %.3f s, bare %.3f s per file, ratio %.2f (want >= 1.2)\n", decode.ours,
              decode.bare, decode.bare / decode.ours);
  const Comparison adaptive =
      Compare([&] { return OurDecode(files[0], false); }, [&] { return BareDecode(files[0]); });
  std::printf("decode throughput, adaptive deinterlace: ours %.3f s, bare %.3f s per file, ratio %.2f\n",
              adaptive.ours, adaptive.bare, adaptive.bare / adaptive.ours);
  const Comparison open = Compare([&] { return OurOpen(files); }, [&] { return BareOpen(files); });
  std::printf("open seven files to first frame: ours %.3f s, bare %.3f s, ratio %.2f (want <= 1.5)\n",
              open.ours, open.bare, open.ours / open.bare);
  const Comparison seek =
      Compare([&] { return OurSeek(files[0], seconds); }, [&] { return BareSeek(files[0], seconds); });
  std::printf("median seek latency: ours %.1f ms, bare %.1f ms, ratio %.2f (want <= 2.0)\n", seek.ours * 1000,
              seek.bare * 1000, seek.ours / seek.bare);
  std::filesystem::remove_all(dir);
  return 0;
}
