// Building one recording's pipeline from generated files: result codes,
// channels present and absent, texts and the exported graph.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <fstream>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/recording_graph.h"
#include "engine_test_support.h"
#include "gst/element_registry.h"
#include "metadata/overlay_filter.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace {

int Build(const std::string& path, RecordingGraph& g) {
  RecordingProperties props;
  return BuildRecordingGraph(g, path, props, nullptr, TestConfig());
}

bool HasElement(RecordingGraph& g, const char* name) {
  gsth::Element e(gst_bin_get_by_name(GST_BIN(g.Pipeline()), name));
  return bool(e);
}

// Takes element factories out of the registry for one test and puts them
// back afterwards, so the tests of one process don't depend on each other.
class HiddenFactories {
 public:
  HiddenFactories() { gsth::EnsureGstInitialized(); }
  ~HiddenFactories() {
    for (GstPluginFeature* f : hidden_) {
      gst_registry_add_feature(gst_registry_get(), f);
      gst_object_unref(f);
    }
  }
  HiddenFactories(const HiddenFactories&) = delete;
  HiddenFactories& operator=(const HiddenFactories&) = delete;

  void Hide(const char* name) {
    GstRegistry* registry = gst_registry_get();
    if (GstPluginFeature* f = gst_registry_lookup_feature(registry, name)) {
      gst_registry_remove_feature(registry, f);
      hidden_.push_back(f);  // our reference keeps it for the return
    }
  }

 private:
  std::vector<GstPluginFeature*> hidden_;
};

}  // namespace

TEST(RecordingGraph, FilesThatCannotBePlayedGiveTheirCodes) {
  TempDir dir;
  RecordingGraph missing;
  EXPECT_EQ(Build((dir / "none.avi").string(), missing), kGraphFileUnusable);

  {  // garbage that is no AVI at all
    std::ofstream f(dir / "garbage.avi", std::ios::binary);
    for (int i = 0; i < 20000; ++i) f.put(char(i * 37));
  }
  RecordingGraph garbage;
  EXPECT_EQ(Build((dir / "garbage.avi").string(), garbage), kGraphNotConnected);

  {  // a real recording cut short inside its headers
    const std::string full = WriteSmall(dir / "full.avi", SmallOptions());
    std::ifstream in(full, std::ios::binary);
    std::vector<char> head(12000);
    in.read(head.data(), head.size());
    std::ofstream out(dir / "cut.avi", std::ios::binary);
    out.write(head.data(), 300);
    out.write(std::string(12000, '\0').data(), 12000);
  }
  RecordingGraph cut;
  EXPECT_EQ(Build((dir / "cut.avi").string(), cut), kGraphNotConnected);

  auto h264 = SmallOptions();
  h264.h264 = true;
  RecordingGraph h264Graph;
  EXPECT_EQ(Build(WriteSmall(dir / "h264.avi", h264), h264Graph), kGraphH264);
}

// Makes a file unwritable for everyone, root included, for as long as it
// lives: mode 0444, and the immutable attribute where the file system has it.
class UnwritableFile {
 public:
  explicit UnwritableFile(const std::string& path) : path_(path) {
    chmod(path_.c_str(), 0444);
    const int fd = open(path_.c_str(), O_RDONLY);
    int flags = 0;
    if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
      flags |= FS_IMMUTABLE_FL;
      immutable_ = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (fd >= 0) close(fd);
  }
  ~UnwritableFile() {
    const int fd = open(path_.c_str(), O_RDONLY);
    int flags = 0;
    if (fd >= 0 && immutable_ && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~FS_IMMUTABLE_FL;
      ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0) close(fd);
    chmod(path_.c_str(), 0644);
  }
  UnwritableFile(const UnwritableFile&) = delete;
  UnwritableFile& operator=(const UnwritableFile&) = delete;

  bool Holds() const { return geteuid() != 0 || immutable_; }

 private:
  std::string path_;
  bool immutable_ = false;
};

TEST(RecordingGraph, ReadOnlyOneStreamHeaderCannotBeCorrected) {
  TempDir dir;
  auto o = SmallOptions();
  o.oneStreamHeader = true;
  const std::string path = WriteSmall(dir / "old.avi", o);
  {
    UnwritableFile locked(path);
    if (!locked.Holds()) GTEST_SKIP() << "no way to keep root from writing here";
    RecordingGraph g;
    EXPECT_EQ(Build(path, g), kGraphHeaderFixFailed);
  }
  RecordingGraph fixed;
  EXPECT_EQ(Build(path, fixed), kGraphOk);
}

TEST(RecordingGraph, MissingDemuxerGivesCodeTwo) {
  HiddenFactories hidden;
  hidden.Hide("avidemux");
  TempDir dir;
  RecordingGraph g;
  EXPECT_EQ(Build(WriteSmall(dir / "a.avi", SmallOptions()), g), kGraphNoSplitter);
}

// Our decoder first, then the stock ones with a colour conversion after
// them; each fallback must still hand BGRx frames on.
TEST(RecordingGraph, DecoderFallsBackInOrderAndNoneGivesCodeFive) {
  gsth::EnsureGstInitialized();
  RegisterQmxElements();  // so that hiding ours sticks
  HiddenFactories hidden;
  TempDir dir;
  const std::string path = WriteSmall(dir / "a.avi", SmallOptions());
  struct Row {
    const char* hide;
    const char* used;  // factory of "MJPEG Decompressor 1", null: code 5
  } rows[] = {{nullptr, "qmxjpegdec"},
              {"qmxjpegdec", "jpegdec"},
              {"jpegdec", "avdec_mjpeg"},
              {"avdec_mjpeg", nullptr}};
  for (const Row& r : rows) {
    if (r.hide) hidden.Hide(r.hide);
    RecordingGraph g;
    const int code = Build(path, g);
    if (!r.used) {
      EXPECT_EQ(code, kGraphNoDecoder);
      continue;
    }
    ASSERT_EQ(code, kGraphOk) << r.used;
    gsth::Element decoder(gst_bin_get_by_name(GST_BIN(g.Pipeline()), "MJPEG Decompressor 1"));
    ASSERT_TRUE(decoder);
    EXPECT_STREQ(GST_OBJECT_NAME(gst_element_get_factory(decoder.get())), r.used);
    EXPECT_EQ(g.Channels()[0].width, 320) << r.used;  // the sink received a BGRx frame
    if (std::string(r.used) == "qmxjpegdec") {
      // Ours deinterlaces as it decodes, in the overlay's mode.
      int mode = -1;
      g_object_get(decoder.get(), "deinterlace", &mode, nullptr);
      EXPECT_EQ(mode, 1);
      g.SetFastDeinterlace(true);
      g_object_get(decoder.get(), "deinterlace", &mode, nullptr);
      EXPECT_EQ(mode, 2);
      EXPECT_TRUE(g.Overlay(0)->FastDeinterlace());
    }
  }
}

TEST(RecordingGraph, ChannelsOneAndThreeBuildOnlyTheirChains) {
  TempDir dir;
  auto o = SmallOptions();
  o.video = {true, false, true, false};
  o.audio = {true, true, false, false};  // channel 2's audio has no video: no audio chain
  RecordingProperties props;
  RecordingGraph g;
  ASSERT_EQ(BuildRecordingGraph(g, WriteSmall(dir / "a.avi", o), props, nullptr, TestConfig()), kGraphOk);
  const ChannelResult absent;
  EXPECT_EQ(g.Channels(),
            (ChannelResults{{{true, true, 320, 240}, absent, {true, false, 320, 240}, absent}}));
  EXPECT_EQ(g.ChannelCount(), 2);
  EXPECT_EQ(g.Duration(), 100);
  EXPECT_TRUE(g.Ready());
  for (const char* name : {"File Source Filter", "QMX AVI Splitter", "Metadata 1", "MJPEG Decompressor 1",
                           "Overlay 1", "Video 1", "Video 3", "ACM 1", "Audio Transform 1", "Audio 1"}) {
    EXPECT_TRUE(HasElement(g, name)) << name;
  }
  EXPECT_FALSE(HasElement(g, "Video 2"));
  EXPECT_FALSE(HasElement(g, "ACM 2"));
  EXPECT_EQ(props.formatText[0], "320x240, 10.00 fps");
  EXPECT_EQ(props.formatText[1], "N/A");
  EXPECT_NE(props.bitRateText[2].find(" kbit/s"), std::string::npos);
  EXPECT_EQ(props.audioText[0], "Audio Enabled");
}

// With "exportfiltergraph" every built pipeline is written as Graphviz.
TEST(RecordingGraph, FileWithMetadataStreamPlaysAndGraphIsExported) {
  TempDir dir;
  auto o = SmallOptions();
  o.meta = recgen::MetaPlacement::kBoth;
  ScopedEnv tmp("TMPDIR", dir.path().string());
  EngineConfig config = TestConfig();
  config.exportGraph = true;
  RecordingGraph g;
  RecordingProperties props;
  ASSERT_EQ(BuildRecordingGraph(g, WriteSmall(dir / "a.avi", o), props, nullptr, config), kGraphOk);
  EXPECT_EQ(g.ChannelCount(), 4);
  std::ifstream dot(dir / "QMXgraph.dot");
  std::string text((std::istreambuf_iterator<char>(dot)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("QMX AVI Splitter"), std::string::npos);
}

namespace {

// A consumer may keep the frames it is handed instead of copying them: what
// it holds stays the frame shown, byte for byte, after later frames have
// flowed and after the graph is gone.
TEST(RecordingGraph, HeldFramesStayIntactAfterPlayingOnAndTeardown) {
  struct Keeper : FrameConsumer {
    void OnVideoFrame(const VideoFrame& f) override {
      if (f.channel != 0) return;
      std::shared_ptr<const uint8_t> held = f.hold ? f.hold() : nullptr;
      std::lock_guard<std::mutex> l(lock);
      if (!held || kept.size() >= 3) return;
      EXPECT_EQ(held.get(), f.bgrx);
      kept.push_back({held, std::vector<uint8_t>(f.bgrx, f.bgrx + size_t(f.strideBytes) * f.height)});
    }
    std::mutex lock;
    std::vector<std::pair<std::shared_ptr<const uint8_t>, std::vector<uint8_t>>> kept;
  } keeper;
  TempDir dir;
  auto o = SmallOptions();
  o.seconds = 2;
  {
    RecordingGraph g;
    ASSERT_EQ(Build(WriteSmall(dir / "a.avi", o), g), kGraphOk);
    g.SetConsumer(&keeper);
    g.SetState(GST_STATE_PLAYING);
    for (int i = 0; i < 400 && !g.AtEnd(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(g.AtEnd());
    g.SetConsumer(nullptr);
  }
  ASSERT_EQ(keeper.kept.size(), 3u);
  for (const auto& [held, copy] : keeper.kept)
    EXPECT_EQ(0, std::memcmp(held.get(), copy.data(), copy.size()));
  EXPECT_NE(0,
            std::memcmp(keeper.kept[0].first.get(), keeper.kept[2].first.get(), keeper.kept[0].second.size()))
      << "each held frame is its own picture";
}

}  // namespace
