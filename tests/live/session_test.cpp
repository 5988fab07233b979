// A live session against the DVR simulator on 127.0.0.1: requests, connection
// cycles, damaged streams, first frames, metadata and prompt destruction.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "live/stream_protocol.h"
#include "live_test_support.h"
#include "recording_writer.h"
#include "temp_dir.h"

namespace {

using namespace std::chrono_literals;
using livetest::ConfigFor;
using livetest::PollUntil;
using livetest::StartSimulator;
using livetest::WaitUntil;
using Clock = std::chrono::steady_clock;

TEST(LiveSession, RequestsChannelOneThenOneNewRequestPerMaskChange) {
  auto sim = StartSimulator();
  LiveSession session(ConfigFor(*sim));
  ASSERT_TRUE(PollUntil(session, [&] { return session.FramesShown(0) > 0; }));
  EXPECT_EQ(session.GetConnectionState(), 1);
  auto requests = sim->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].wellFormed);
  EXPECT_EQ(requests[0].mask, kInitialChannelMask);

  const struct {
    VideoView view;
    uint32_t mask;
  } views[] = {{VideoView::Quad(), 15}, {VideoView::Camera(2), 4}, {VideoView::Camera(1), 2}};
  for (const auto& v : views) {
    session.SetView(v.view);
    EXPECT_EQ(session.ChannelMask(), v.mask);
    ASSERT_TRUE(PollUntil(session, [&] { return sim->Requests().back().mask == v.mask; })) << v.view.Number();
    ASSERT_TRUE(
        PollUntil(session, [&] { return session.FramesShown(v.view.IsQuad() ? 3 : v.view.Camera()) > 0; }));
  }
  requests = sim->Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(session.RequestsSent(), 4);
  EXPECT_EQ(sim->Connections(), 1);
  // The same mask again sends nothing.
  session.SetView(VideoView::Camera(1));
  const long long shown = session.FramesShown(1);
  ASSERT_TRUE(PollUntil(session, [&] { return session.FramesShown(1) > shown + 3; }));
  EXPECT_EQ(sim->Requests().size(), 4u);
}

TEST(LiveSession, RefusingUnitGetsFourAttemptsAndOneFailure) {
  dvrsim::SimulatorOptions options;
  options.fault = dvrsim::Fault::kRefuse;
  auto sim = StartSimulator(options);
  LiveSession session(ConfigFor(*sim));
  int failures = 0;
  ASSERT_TRUE(PollUntil(
      session, [&] { return failures > 0; }, 5s, &failures));
  ASSERT_TRUE(WaitUntil([&] { return !session.ReceiveThreadRunning(); }, 1s));
  PollUntil(
      session, [] { return false; }, 100ms, &failures);
  EXPECT_EQ(failures, 1);
  EXPECT_TRUE(session.FailureReported());
  EXPECT_EQ(session.GetConnectionState(), -1);
  const auto attempts = session.ConnectAttempts();
  ASSERT_EQ(attempts.size(), 4u);
  for (std::size_t k = 1; k < attempts.size(); ++k) {
    const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(attempts[k] - attempts[k - 1]);
    EXPECT_GE(gap.count(), 500);
    EXPECT_LT(gap.count(), 900);
  }
}

TEST(LiveSession, AddressesThatCannotBeReachedFailTheSameWay) {
  for (const char* address : {"not-an-address", "10.0.0.7:0", ""}) {
    LiveSessionConfig config;
    config.address = address;
    config.audioSink = "fakesink";
    LiveSession session(config);
    int failures = 0;
    EXPECT_TRUE(PollUntil(
        session, [&] { return failures > 0; }, 5s, &failures))
        << address;
    EXPECT_EQ(session.ConnectAttempts().size(), 4u) << address;
  }
}

TEST(LiveSession, UnitDroppingAfterTheRequestIsAskedAgainWithTheCurrentMask) {
  dvrsim::SimulatorOptions options;
  options.fault = dvrsim::Fault::kDrop;
  auto sim = StartSimulator(options);
  LiveSession session(ConfigFor(*sim));
  ASSERT_TRUE(PollUntil(session, [&] { return sim->Requests().size() == 1; }));
  session.SetView(VideoView::Camera(3));
  ASSERT_TRUE(PollUntil(
      session, [&] { return sim->Requests().size() == 2; }, 5s));
  const auto requests = sim->Requests();
  EXPECT_EQ(requests[0].connection, 1);
  EXPECT_EQ(requests[1].connection, 2);
  EXPECT_EQ(requests[1].mask, 8u);
  EXPECT_FALSE(session.FailureReported());
}

TEST(LiveSession, DamagedStreamsRecoverWithoutReconnecting) {
  const dvrsim::Fault faults[] = {dvrsim::Fault::kGarbage, dvrsim::Fault::kOversize,
                                  dvrsim::Fault::kBadHeader};
  for (const auto fault : faults) {
    dvrsim::SimulatorOptions options;
    options.fault = fault;
    options.faultAfterFrames = 4;
    auto sim = StartSimulator(options);
    LiveSession session(ConfigFor(*sim));
    // Well past the fault: frames sent after it reach the pane.
    EXPECT_TRUE(PollUntil(session, [&] { return session.FramesShown(0) > 15 && sim->FramesSent(0) > 12; }))
        << int(fault);
    EXPECT_EQ(sim->Connections(), 1) << int(fault);
  }
}

// The size of the first picture that reached the pane.
class FirstFrameSize : public FrameConsumer {
 public:
  void OnVideoFrame(const VideoFrame& f) override {
    int none = 0;
    width_.compare_exchange_strong(none, f.width);
  }
  int Width() const { return width_; }

 private:
  std::atomic<int> width_{0};
};

TEST(LiveSession, FirstFrameDecidesTheGraphSize) {
  const struct {
    int width, height;
    bool decodable;  // any frame at all
    dvrsim::Fault fault;
    int graphWidth, graphHeight;
  } cases[] = {
      {720, 240, true, dvrsim::Fault::kNone, 720, 480},
      {640, 240, true, dvrsim::Fault::kNone, 640, 480},
      {352, 240, true, dvrsim::Fault::kNone, 352, 240},
      {360, 288, true, dvrsim::Fault::kNone, 360, 288},
      {720, 480, false, dvrsim::Fault::kNone, 320, 240},
      // A first frame that does not decode sizes the graph by default, and
      // the good frames after it are shown at once, at their own size.
      {720, 480, true, dvrsim::Fault::kBadFirst, 320, 240},
      {360, 240, true, dvrsim::Fault::kCutFirst, 320, 240},
  };
  // The first frame is measured in memory: nothing is written to the
  // temporary folder.
  TempDir temp;
  const char* oldTemp = std::getenv("TMPDIR");
  const std::string savedTemp = oldTemp ? oldTemp : "";
  setenv("TMPDIR", temp.path().c_str(), 1);
  for (const auto& c : cases) {
    dvrsim::SimulatorOptions options;
    options.width = c.width;
    options.height = c.height;
    options.fault = c.fault;
    if (!c.decodable) options.framePayload.assign(6000, 0x11);
    auto sim = StartSimulator(options);
    FirstFrameSize shown;
    LiveSessionConfig config = ConfigFor(*sim);
    config.frames = &shown;
    LiveSession session(config);
    int w = 0, h = 0;
    ASSERT_TRUE(PollUntil(session, [&] { return session.ChannelFormat(0, w, h); })) << c.width;
    EXPECT_EQ(w, c.graphWidth) << c.width << "x" << c.height;
    EXPECT_EQ(h, c.graphHeight) << c.width << "x" << c.height;
    if (c.decodable) {
      // Within a few of the unit's frame periods of the graph, not minutes.
      EXPECT_TRUE(PollUntil(
          session, [&] { return session.FramesShown(0) > 0; }, 5s))
          << c.width << "x" << c.height << " fault " << int(c.fault);
      EXPECT_EQ(shown.Width(), c.width);
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
  if (oldTemp)
    setenv("TMPDIR", savedTemp.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

TEST(LiveSession, ShowsTheCamerasOfARecordingServedByTheUnit) {
  TempDir dir;
  recgen::RecordingOptions recording;
  recording.width = 360;
  recording.height = 240;
  recording.seconds = 1;
  recording.fps = 10;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "served.avi", recording, error)) << error;
  dvrsim::SimulatorOptions options;
  options.recording = (dir / "served.avi").string();
  auto sim = StartSimulator(options);
  EXPECT_EQ(sim->Fps(), 10.0);
  livetest::MetadataRecorder window;
  LiveSessionConfig config = ConfigFor(*sim);
  config.metadataListener = &window;
  LiveSession session(config);
  session.SetView(VideoView::Quad());
  for (int c = 0; c < 4; ++c) {
    ASSERT_TRUE(PollUntil(session, [&] { return session.FramesShown(c) > 0; })) << c;
    int w = 0, h = 0;
    ASSERT_TRUE(session.ChannelFormat(c, w, h));
    EXPECT_EQ(w, 360);
    EXPECT_EQ(h, 240);
  }
  // Each camera's own records (satellites 5 + camera) reach its extractor.
  for (int c = 0; c < 4; ++c) {
    const std::string source = "Metadata Extractor " + std::to_string(c + 1);
    const std::string satellites = std::to_string(6 + c);
    EXPECT_TRUE(PollUntil(session, [&] {
      for (const auto& e : window.Events())
        if (e.source == source && e.label == "GPS Sat Count" && e.text == satellites) return true;
      return false;
    })) << source;
  }
}

TEST(LiveSession, MetadataSamplesReachAllFourExtractorsInOrder) {
  auto sim = StartSimulator();
  livetest::MetadataRecorder window;
  LiveSessionConfig config = ConfigFor(*sim);
  config.metadataListener = &window;
  LiveSession session(config);
  session.SetView(VideoView::Quad());
  // The simulator's metadata samples carry 5 satellites; the frames' own
  // records 6 to 9, one per camera.
  auto txSources = [&] {
    std::vector<std::string> sources;
    for (const auto& e : window.Events())
      if (e.label == "GPS Sat Count" && e.text == "5") sources.push_back(e.source);
    return sources;
  };
  ASSERT_TRUE(PollUntil(session, [&] { return txSources().size() >= 8; }));
  const auto sources = txSources();
  const std::vector<std::string> inOrder = {"Metadata Extractor 1", "Metadata Extractor 2",
                                            "Metadata Extractor 3", "Metadata Extractor 4"};
  const auto at = std::search(sources.begin(), sources.end(), inOrder.begin(), inOrder.end());
  EXPECT_NE(at, sources.end());
  // The overlays hold the texts to draw.
  for (int c = 0; c < 4; ++c) ASSERT_NE(session.Overlay(c), nullptr);
}

TEST(LiveSession, DestructionIsPromptInEveryState) {
  const struct {
    const char* state;
    bool poll;  // the window builds the graphs the session asks for
    dvrsim::Fault fault;
  } cases[] = {
      {"first frame waiting for its graph", false, dvrsim::Fault::kNone},
      {"streaming", true, dvrsim::Fault::kNone},
      {"stalled unit", true, dvrsim::Fault::kStall},
      {"reconnect pause", true, dvrsim::Fault::kDrop},
  };
  for (const auto& c : cases) {
    dvrsim::SimulatorOptions options;
    options.fault = c.fault;
    auto sim = StartSimulator(options);
    auto session = std::make_unique<LiveSession>(ConfigFor(*sim));
    ASSERT_TRUE(WaitUntil([&] {
      return sim->Requests().size() == 1 && (c.fault != dvrsim::Fault::kNone || sim->FramesSent(0) > 3);
    })) << c.state;
    if (c.poll && c.fault == dvrsim::Fault::kNone) {
      ASSERT_TRUE(PollUntil(*session, [&] { return session->FramesShown(0) > 0; })) << c.state;
    }
    if (!c.poll) {
      EXPECT_EQ(session->GraphsBuilt(0), 0);
    }
    const auto start = Clock::now();
    session.reset();
    EXPECT_LT(Clock::now() - start, 2500ms) << c.state;
  }
}

}  // namespace
