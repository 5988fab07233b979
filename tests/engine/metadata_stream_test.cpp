// A recording whose metadata travels as its own stream ('txts', the
// demuxer's subtitle_0 pad, "Stream 08"): the multi-metadata filter parses
// its 56-byte samples and hands the texts to the listener and the overlays.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "engine/pipeline/recording_graph.h"
#include "engine_test_support.h"
#include "metadata/overlay_filter.h"
#include "temp_dir.h"

namespace {

// Every (source, label) → texts in arrival order.
struct TextRecorder : CMetadataInterface {
  void OnMetadata(const char* source, const char* label, const char* text) override {
    std::lock_guard<std::mutex> l(lock);
    texts[{source, label}].push_back(text);
  }
  std::vector<std::string> Of(const std::string& source, const std::string& label) {
    std::lock_guard<std::mutex> l(lock);
    return texts[{source, label}];
  }
  std::mutex lock;
  std::map<std::pair<std::string, std::string>, std::vector<std::string>> texts;
};

}  // namespace

TEST(MetadataStream, SamplesReachListenerAndOverlaysThroughTheStreamBranch) {
  TempDir dir;
  for (auto placement : {recgen::MetaPlacement::kStream, recgen::MetaPlacement::kBoth}) {
    auto o = SmallOptions();
    o.meta = placement;
    const std::string path = WriteSmall(dir / "m.avi", o);
    {  // the branch is built on the demuxer's subtitle pad and feeds the overlays at preroll
      RecordingGraph g;
      RecordingProperties props;
      ASSERT_EQ(BuildRecordingGraph(g, path, props, nullptr, TestConfig()), kGraphOk);
      ASSERT_TRUE(gsth::Element(gst_bin_get_by_name(GST_BIN(g.Pipeline()), "Multi Meta Filter")));
      gsth::Element queue(gst_bin_get_by_name(GST_BIN(g.Pipeline()), "Queue subtitle_0"));
      ASSERT_TRUE(queue);
      gsth::Pad in(gst_element_get_static_pad(queue.get(), "sink"));
      EXPECT_TRUE(gst_pad_is_linked(in.get()));
      COverlayFilter* overlay = g.Overlay(2);
      ASSERT_NE(overlay, nullptr);
      // Only the stream carries a sample with 5 satellites (frames say 5 + camera).
      if (placement == recgen::MetaPlacement::kStream) {
        EXPECT_EQ(overlay->Texts()[kTextGpsSatCount], "5");
      }
    }
    TextRecorder texts;
    {
      PlaybackEngine e(nullptr, &texts, nullptr, TestConfig());
      ASSERT_EQ(e.OpenSequence({path}), kGraphOk);
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
      while (e.IsPlaying() && std::chrono::steady_clock::now() < until) {
        e.GetPosition();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    const std::vector<std::string> fromStream = texts.Of("Meta Data Extractor", "UTC Time");
    EXPECT_EQ(fromStream.size(), 10u) << "one sample per frame";
    for (const char* label : {"Latitude", "Speed", "Triggers"})
      EXPECT_EQ(texts.Of("Meta Data Extractor", label).size(), fromStream.size()) << label;
    ASSERT_FALSE(fromStream.empty());
    EXPECT_EQ(texts.Of("Meta Data Extractor", "GPS Sat Count").front(), "5");
    const std::vector<std::string> fromFrames = texts.Of("Meta Data Extractor 1", "UTC Time");
    if (placement == recgen::MetaPlacement::kBoth) {
      EXPECT_EQ(fromFrames, fromStream) << "stream and frames tell the same times";
    } else {
      EXPECT_TRUE(fromFrames.empty());
    }
  }
}

// Graphs prerolled ahead stay silent: the banner's listener hears the texts
// of the file being shown, in the order of the timeline.
TEST(MetadataStream, BannerHearsOnlyTheFileShown) {
  TempDir dir;
  auto o = SmallOptions();  // one second per file, one UTC second each
  const auto paths = WriteSmallSequence(dir.path(), 3, o);
  TextRecorder texts;
  {
    PlaybackEngine e(nullptr, &texts, nullptr, TestConfig());
    ASSERT_EQ(e.OpenSequence(paths), kGraphOk);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (e.IsPlaying() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const std::vector<std::string> times = texts.Of("Meta Data Extractor 1", "UTC Time");
  ASSERT_GE(times.size(), 27u) << "each file's frames after its first";
  EXPECT_LE(times.size(), 30u) << "no frame twice";
  EXPECT_TRUE(std::is_sorted(times.begin(), times.end())) << times.front() << " … " << times.back();
  EXPECT_EQ(std::set<std::string>(times.begin(), times.end()).size(), times.size()) << "no frame twice";
}
