// Recordings that are not the full nine-stream layout, and faults inside one
// file: each plays what it can, at once, and says what went wrong through
// the engine's events instead of stalling or refusing the whole recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <thread>

#include "avi/avi_reader.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "engine_test_support.h"
#include "gst/element_registry.h"
#include "temp_dir.h"

namespace {

struct EventLog : EngineEvents {
  void OnPlaybackError(int fileIndex, const std::string& message) override {
    std::lock_guard<std::mutex> l(lock);
    errors.emplace_back(fileIndex, message);
  }
  void OnFileChanged(int fileIndex) override {
    std::lock_guard<std::mutex> l(lock);
    files.push_back(fileIndex);
  }
  void OnEndOfRecording() override {
    std::lock_guard<std::mutex> l(lock);
    ++ends;
  }
  std::mutex lock;
  std::vector<std::pair<int, std::string>> errors;
  std::vector<int> files;
  int ends = 0;
};

std::vector<char> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Waits (bounded) until the engine has stopped by itself at the end.
bool PlayOut(PlaybackEngine& e) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (e.IsPlaying() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return !e.IsPlaying();
}

// Overwrites the middle of stream `stream`'s chunk `k` with noise.
void Damage(const std::string& path, size_t stream, size_t k) {
  avi::AviReader reader;
  ASSERT_TRUE(reader.Open(path));
  avi::ChunkEntry chunk;
  ASSERT_TRUE(reader.Chunk(stream, k, chunk));
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(std::streamoff(chunk.offset + chunk.size / 4));
  for (uint32_t i = 0; i < chunk.size / 2; ++i) f.put(char(i * 131 + 7));
}

// Takes an element factory out of the registry for one test.
class HiddenFactory {
 public:
  explicit HiddenFactory(const char* name) {
    gsth::EnsureGstInitialized();
    RegisterQmxElements();
    if (name) feature_ = gst_registry_lookup_feature(gst_registry_get(), name);
    if (feature_) gst_registry_remove_feature(gst_registry_get(), feature_);
  }
  ~HiddenFactory() {
    if (!feature_) return;
    gst_registry_add_feature(gst_registry_get(), feature_);
    gst_object_unref(feature_);
  }
  HiddenFactory(const HiddenFactory&) = delete;
  HiddenFactory& operator=(const HiddenFactory&) = delete;

 private:
  GstPluginFeature* feature_ = nullptr;
};

}  // namespace

TEST(OddRecordings, LayoutsWithoutNamesOrWithoutSomeStreamsPlay) {
  using recgen::MetaPlacement;
  struct Row {
    const char* what;
    std::array<bool, 4> video, audio;
    MetaPlacement meta;
    bool names, dvrMetaHeader;
    const char* hide;  // a factory taken out of the registry
    std::array<bool, 4> wantAudio;
  } rows[] = {
      {"metadata stream header as the DVR writes it, no names",
       {1, 1, 1, 1},
       {1, 1, 1, 1},
       MetaPlacement::kStream,
       false,
       true,
       nullptr,
       {1, 1, 1, 1}},
      {"camera 2 without audio, no names",
       {1, 1, 1, 1},
       {1, 0, 1, 1},
       MetaPlacement::kFrames,
       false,
       false,
       nullptr,
       {1, 0, 1, 1}},
      {"one camera and a metadata stream, no names",
       {1, 0, 0, 0},
       {0, 0, 0, 0},
       MetaPlacement::kStream,
       false,
       true,
       nullptr,
       {0, 0, 0, 0}},
      {"no audio decoder installed",
       {1, 1, 1, 1},
       {1, 1, 1, 1},
       MetaPlacement::kFrames,
       true,
       false,
       "mulawdec",
       {0, 0, 0, 0}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TempDir dir;
    auto o = SmallOptions();
    o.video = r.video;
    o.audio = r.audio;
    o.meta = r.meta;
    o.streamNames = r.names;
    o.dvrMetaHeader = r.dvrMetaHeader;
    const std::string path = WriteSmall(dir / "odd.avi", o);
    const std::vector<char> before = Bytes(path);
    HiddenFactory hidden(r.hide);
    FrameRecorder frames(0);
    EventLog events;
    {
      PlaybackEngine e(&frames, nullptr, &events, TestConfig());
      ASSERT_EQ(e.OpenSequence({path}), kGraphOk);
      EXPECT_EQ(VideoOf(e.Channels()), r.video);
      EXPECT_EQ(AudioOf(e.Channels()), r.wantAudio);
      EXPECT_EQ(e.GetTotal(), 100);
      e.Pause();
      ASSERT_TRUE(Settled(e));
      frames.Clear();
      e.Seek(-1, 50);
      ASSERT_TRUE(Settled(e));
      ASSERT_TRUE(frames.WaitForCount(1));
      EXPECT_EQ(frames.Last(), 5);
      frames.Clear();
      e.Play();
      ASSERT_TRUE(PlayOut(e));
      EXPECT_EQ(frames.Last(), 9) << "played to the last frame";
      EXPECT_EQ(e.GetPositionCentis(), e.GetTotal()) << "stopped at the end";
    }
    std::lock_guard<std::mutex> l(events.lock);
    EXPECT_TRUE(events.errors.empty()) << events.errors.front().second;
    EXPECT_EQ(events.ends, 1);
    EXPECT_EQ(Bytes(path), before) << "viewing does not write";
  }
}

// A file of a run that cannot be played is passed over and reported; the
// files around it play, and opening never depends on it. Its successor may
// still be in the making when playback reaches it (past the files built at
// open it always is): the broken file is never reported as the one shown.
TEST(OddRecordings, BrokenFileInARunIsReportedAndPassedOver) {
  struct Row {
    int files, broken;
  } rows[] = {{3, 1}, {9, 7}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.broken);
    TempDir dir;
    auto o = SmallOptions();
    o.seconds = 0.5;
    const std::vector<std::string> paths = WriteSmallSequence(dir.path(), r.files, o);
    {
      std::ofstream broken(paths[size_t(r.broken)], std::ios::binary | std::ios::trunc);
      for (int i = 0; i < 20000; ++i) broken.put(char(i * 37));
    }
    FrameRecorder frames(0);
    EventLog events;
    PlaybackEngine e(&frames, nullptr, &events, TestConfig());
    ASSERT_EQ(e.OpenSequence(paths), kGraphOk);
    EXPECT_EQ(e.GetTotal(), 50 * (r.files - 1)) << "the broken file has no length";
    ASSERT_TRUE(PlayOut(e));
    std::vector<int64_t> shown;
    std::vector<int> changes;
    for (int f = 0; f < r.files; ++f) {
      if (f == r.broken) continue;
      for (int n = 0; n < 5; ++n) shown.push_back(f * 5 + n);
      if (f > 0) changes.push_back(f);
    }
    EXPECT_EQ(frames.Numbers(), shown);
    EXPECT_EQ(e.CurrentFileIndex(), r.files - 1);
    std::lock_guard<std::mutex> l(events.lock);
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_EQ(events.errors[0].first, r.broken);
    EXPECT_EQ(events.errors[0].second, GraphResultMessage(kGraphNotConnected));
    EXPECT_EQ(events.files, changes);
    EXPECT_EQ(events.ends, 1);
  }
}

// A damaged picture is skipped and counted; the channel plays on.
TEST(OddRecordings, DamagedFramesAreCountedAndSkipped) {
  TempDir dir;
  const std::string path = WriteSmall(dir / "a.avi", SmallOptions());
  Damage(path, 0, 3);  // channel 1, frame 3
  Damage(path, 0, 6);
  FrameRecorder frames(0);
  EventLog events;
  PlaybackEngine e(&frames, nullptr, &events, TestConfig());
  ASSERT_EQ(e.OpenSequence({path}), kGraphOk);
  ASSERT_TRUE(PlayOut(e));
  EXPECT_EQ(frames.Numbers(), (std::vector<int64_t>{0, 1, 2, 4, 5, 7, 8, 9}));
  EXPECT_EQ(e.WarningCount(), 2);
  std::lock_guard<std::mutex> l(events.lock);
  EXPECT_TRUE(events.errors.empty());
  EXPECT_EQ(events.ends, 1);
}

// A camera whose pictures no JPEG decoder takes (its headers name another
// codec) loses its branch; the other cameras and the sound play.
TEST(OddRecordings, CameraInAForeignCodecIsAbsentAndTheRestPlays) {
  TempDir dir;
  const std::string path = WriteSmall(dir / "a.avi", SmallOptions());
  {
    // Camera 3's stream header and format block name "XVID" instead of "MJPG".
    std::vector<char> bytes = Bytes(path);
    const std::string mjpg = "MJPG";
    int seen = 0;
    for (auto it = bytes.begin();
         (it = std::search(it, bytes.end(), mjpg.begin(), mjpg.end())) != bytes.end(); ++it) {
      if (seen == 4 || seen == 5) std::copy_n("XVID", 4, it);
      if (++seen == 6) break;
    }
    ASSERT_EQ(seen, 6);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
  }
  {
    // Its branch, and its sound with it, are out of the pipeline.
    RecordingGraph g;
    RecordingProperties props;
    ASSERT_EQ(BuildRecordingGraph(g, path, props, nullptr, TestConfig()), kGraphOk);
    for (const char* name : {"Video 3", "Audio 3", "Video 4", "Audio 4"}) {
      gsth::Element e(gst_bin_get_by_name(GST_BIN(g.Pipeline()), name));
      EXPECT_EQ(bool(e), name[6] == '4') << name;
    }
  }
  FrameRecorder frames(3);
  EventLog events;
  PlaybackEngine e(&frames, nullptr, &events, TestConfig());
  ASSERT_EQ(e.OpenSequence({path}), kGraphOk);
  EXPECT_EQ(VideoOf(e.Channels()), (std::array<bool, 4>{true, true, false, true}));
  EXPECT_EQ(AudioOf(e.Channels()), (std::array<bool, 4>{true, true, false, true}));
  ASSERT_TRUE(PlayOut(e));
  EXPECT_EQ(frames.Last(), 9) << "camera 4 played to its end";
  std::lock_guard<std::mutex> l(events.lock);
  EXPECT_TRUE(events.errors.empty());
}

// A file of a run that the player refuses (H264) keeps its span on the
// timeline; playing passes over it and a seek into it says why.
TEST(OddRecordings, RefusedFileInARunIsPassedOverAndASeekIntoItIsReported) {
  TempDir dir;
  auto o = SmallOptions();
  o.seconds = 0.5;
  std::vector<std::string> paths = WriteSmallSequence(dir.path(), 3, o);
  auto h264 = o;
  h264.h264 = true;
  WriteSmall(paths[1], h264);
  FrameRecorder frames(0);
  EventLog events;
  PlaybackEngine e(&frames, nullptr, &events, TestConfig());
  ASSERT_EQ(e.OpenSequence(paths), kGraphOk);
  EXPECT_EQ(e.GetTotal(), 150);
  ASSERT_TRUE(PlayOut(e));
  EXPECT_EQ(frames.Numbers(), (std::vector<int64_t>{0, 1, 2, 3, 4, 10, 11, 12, 13, 14}));
  e.Seek(-1, 70);
  ASSERT_TRUE(Settled(e));
  EXPECT_EQ(e.CurrentFileIndex(), 1);
  e.Seek(-1, 20);
  ASSERT_TRUE(Settled(e));
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    {
      std::lock_guard<std::mutex> l(events.lock);
      if ((events.errors.size() >= 2 && events.files.size() >= 3) || std::chrono::steady_clock::now() > until)
        break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard<std::mutex> l(events.lock);
  const std::string refused = GraphResultMessage(kGraphH264);
  EXPECT_EQ(events.errors, (std::vector<std::pair<int, std::string>>{{1, refused}, {1, refused}}));
  EXPECT_EQ(events.files, (std::vector<int>{2, 1, 0}));
}
