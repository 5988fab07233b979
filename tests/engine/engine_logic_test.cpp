// Pure pieces of the playback engine: the timeline, the audio routing rule,
// the view arrangement and the demuxer pad naming.
#include <gtest/gtest.h>

#include "engine/pipeline/audio_routing.h"
#include "engine/pipeline/demux_pad_names.h"
#include "engine/pipeline/graph_plan.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/timeline.h"
#include "engine/pipeline/video_arrangement.h"

TEST(Timeline, SeekTargetPrefersCentisWithinTheTotalElseTheFraction) {
  const int64_t hour = 360000;
  struct Row {
    double perMille;
    int64_t centis;
    int64_t want;
  } rows[] = {
      {500, -1, 180000},       // half of an hour
      {0, 5000, 5000},         // centis wins whatever perMille says
      {250, hour + 1, 90000},  // centis beyond the total falls back to the fraction
      {999.9, -1, 359964},     // truncated toward zero
      {-20, -1, 0},            // never before the start
      {1500, -1, hour},        // never past the end
  };
  for (const Row& r : rows) EXPECT_EQ(SeekTarget(r.perMille, r.centis, hour), r.want) << r.perMille;
}

TEST(Timeline, StepMovesFifteenHundredthsAndStopsAtZero) {
  EXPECT_EQ(StepTarget(10, -1), 0);
  EXPECT_EQ(StepTarget(100, 0), 85);
  EXPECT_EQ(StepTarget(100, 1), 115);
}

TEST(Timeline, FileAtPicksTheSpanOrTheLastFile) {
  const std::vector<int64_t> starts{0, 1000, 2500};
  const std::vector<int64_t> lengths{1000, 1000, 500};  // a gap at 2000..2500
  EXPECT_EQ(FileAt(starts, lengths, 0), 0);
  EXPECT_EQ(FileAt(starts, lengths, 999), 0);
  EXPECT_EQ(FileAt(starts, lengths, 1000), 1);
  EXPECT_EQ(FileAt(starts, lengths, 2200), 2);  // the gap selects the last file …
  EXPECT_EQ(OffsetInFile(2200, 2500), 0);       // … at its start
  EXPECT_EQ(FileAt(starts, lengths, 9999), 2);
  EXPECT_EQ(FileAt({}, {}, 0), -1);
  EXPECT_DOUBLE_EQ(PerMille(50, 0), 0.0);
  EXPECT_DOUBLE_EQ(PerMille(50, 100), 500.0);
}

TEST(AudioVolume, PercentMapsToHundredthsOfADecibelAndBack) {
  EXPECT_EQ(PercentToVolume(150), 0);
  EXPECT_EQ(PercentToVolume(-5), -4000);
  EXPECT_EQ(PercentToVolume(50), -2000);
  EXPECT_EQ(VolumeToPercent(-2000), 50);
  EXPECT_DOUBLE_EQ(VolumeToLinear(0), 1.0);
  EXPECT_NEAR(VolumeToLinear(-2000), 0.1, 1e-12);
  EXPECT_DOUBLE_EQ(VolumeToLinear(kSilentVolume), 0.0);
}

TEST(AudioRouting, FourChannelRecordingHearsTheRoutedChannelsAtTheirVolumes) {
  const std::array<int, 4> vol{-100, -200, -300, -400};
  AudioSettings s = ComputeAudioSettings(DefaultRoutes(), vol, VideoView::Camera(2), false);
  EXPECT_EQ(s.rendererVolume, (std::array<int, 4>{kSilentVolume, kSilentVolume, -300, kSilentVolume}));
  s = ComputeAudioSettings(DefaultRoutes(), vol, VideoView::Quad(), false);
  EXPECT_EQ(s.rendererVolume, vol);
  s = ComputeAudioSettings(RoutingMatrix{}, vol, VideoView::Quad(), false);
  EXPECT_EQ(s.rendererVolume,
            (std::array<int, 4>{kSilentVolume, kSilentVolume, kSilentVolume, kSilentVolume}));
}

TEST(AudioRouting, TwoCameraStereoStreamMixesByGains) {
  RoutingMatrix both{};
  both[4][0] = both[4][1] = true;
  struct Row {
    int volA, volB;
    VideoView view;
    int wantVolume, wantA, wantB;
  } rows[] = {
      {0, -2000, VideoView::Quad(), 0, 100, 40},  // 100 % and 50 %: the quieter camera at 40
      {-2000, 0, VideoView::Quad(), 0, 40, 100},
      {-1000, -1000, VideoView::Quad(), -1000, 100, 100},
      {-4000, 0, VideoView::Quad(), 0, 0, 100},  // 40 dB apart: gain floors at 0, never negative
      {-500, -900, VideoView::Camera(0), kSilentVolume, 0, 0},  // the first camera's view has no route here
  };
  for (const Row& r : rows) {
    const AudioSettings s = ComputeAudioSettings(both, {r.volA, r.volB, 0, 0}, r.view, true);
    EXPECT_EQ(s.rendererVolume[0], r.wantVolume) << r.volA << " " << r.volB;
    EXPECT_EQ(s.gainA, r.wantA) << r.volA << " " << r.volB;
    EXPECT_EQ(s.gainB, r.wantB) << r.volA << " " << r.volB;
  }
  RoutingMatrix onlyB{};
  onlyB[1][1] = true;
  const AudioSettings s = ComputeAudioSettings(onlyB, {-100, -700, 0, 0}, VideoView::Camera(1), true);
  EXPECT_EQ(s.rendererVolume[0], -700);
  EXPECT_EQ(s.gainA, 0);
  EXPECT_EQ(s.gainB, 100);
}

TEST(AudioRouting, StackedLayoutRoutesChannelZeroToTheFirstTwoViewsAndQuad) {
  const RoutingMatrix r = StackedLayoutRoutes();
  for (int v = 0; v < 5; ++v)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(r[v][c], c == 0 && (v == 0 || v == 1 || v == 4)) << v << c;
}

TEST(VideoArrangement, QuadLineSwitchesFollowThePresentChannels) {
  ChannelResults ch{};
  ch[1] = {.video = true, .width = 720, .height = 480};
  ch[3] = {.video = true, .width = 720, .height = 480};
  VideoArrangement a = ArrangeChannels(ch, DvrLayout::kFourChannel, true, VideoView::Quad());
  EXPECT_EQ(a.gpsLinesOn, (std::array<bool, 4>{false, true, false, false}));
  EXPECT_EQ(a.timeLinesOn, (std::array<bool, 4>{false, false, false, true}));
  a = ArrangeChannels(ch, DvrLayout::kFourChannel, false, VideoView::Camera(1));
  EXPECT_EQ(a.gpsLinesOn, (std::array<bool, 4>{true, true, true, true}));
  EXPECT_EQ(a.timeLinesOn, (std::array<bool, 4>{true, true, true, true}));
  ch[0] = {.video = true, .width = 720, .height = 480};
  a = ArrangeChannels(ch, DvrLayout::kFourChannel, true, VideoView::Quad());
  EXPECT_EQ(a.timeLinesOn, (std::array<bool, 4>{false, false, false, true}));
  ch[3].video = false;
  a = ArrangeChannels(ch, DvrLayout::kFourChannel, true, VideoView::Quad());
  EXPECT_EQ(a.timeLinesOn, (std::array<bool, 4>{true, false, false, false}));
}

TEST(VideoArrangement, StackedLayoutCropsHalvesOfChannelZero) {
  ChannelResults ch{};
  ch[0] = {.video = true, .width = 320, .height = 480};
  VideoArrangement a = ArrangeChannels(ch, DvrLayout::kTwoChannelStacked, false, VideoView::Camera(0));
  EXPECT_EQ(a.crop[0], (SourceCrop{0, 240}));
  EXPECT_EQ(a.crop[1], (SourceCrop{0, 240}));
  EXPECT_EQ(a.paneChannel[1], 0);
  a = ArrangeChannels(ch, DvrLayout::kTwoChannelStacked, false, VideoView::Camera(1));
  EXPECT_EQ(a.crop[1], (SourceCrop{240, 240}));
  a = ArrangeChannels(ch, DvrLayout::kTwoChannelStacked, true, VideoView::Quad());
  EXPECT_EQ(a.crop[0], (SourceCrop{0, 480}));
  EXPECT_TRUE(a.timeLinesOn[2]);  // the stacked layout names channel 3 for the time lines
}

TEST(VideoArrangement, LayoutSizeCountsSideBySideFieldsAsFullHeight) {
  ChannelResults ch{};
  int w = 0, h = 0;
  EXPECT_FALSE(LayoutVideoSize(ch, w, h));
  ch[2] = {.video = true, .width = 640, .height = 240};
  ASSERT_TRUE(LayoutVideoSize(ch, w, h));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
}

TEST(DemuxPadNames, TypesCountSeparatelyAndNamesFallBackToStreamIndex) {
  const auto kVids = avi::kVids, kAuds = avi::kAuds, kTxts = avi::kTxts;
  const std::vector<DemuxStream> streams{
      {kVids, "", 10}, {kAuds, "", 10},         {kVids, "", 0},
      {kAuds, "", 5},  {kVids, "Camera 3", 10}, {avi::MakeFourCC("mids"), "", 3},
      {kTxts, "", 10},
  };
  const std::vector<DemuxPad> pads = MapDemuxPads(streams);
  ASSERT_EQ(pads.size(), streams.size());
  const char* wantPad[] = {"video_0", "audio_0", "video_1", "audio_1", "video_2", "", "subtitle_0"};
  const char* wantPin[] = {"Stream 00", "Stream 01", "Stream 02", "Stream 03",
                           "Camera 3",  "Stream 05", "Stream 06"};
  const bool wantExposed[] = {true, true, false, true, true, false, true};
  for (size_t i = 0; i < pads.size(); ++i) {
    EXPECT_EQ(pads[i].padName, wantPad[i]) << i;
    EXPECT_EQ(pads[i].pinName, wantPin[i]) << i;
    EXPECT_EQ(pads[i].exposed, wantExposed[i]) << i;
  }
}

// Each failure names its cause in this player's terms: a media pipeline,
// GStreamer's demuxer and decoders.
TEST(GraphResult, EveryFailureHasItsMessage) {
  struct Row {
    int code;
    bool h264, emptyList;
    const char* text;
  } rows[] = {
      {0, false, false, ""},
      {42, false, false, ""},
      {1, false, false, "Unable to create a media pipeline. The application can't proceed."},
      {2, false, false,
       "Unable to load the AVI demuxer (GStreamer avidemux). Make sure the GStreamer plugin that holds it is "
       "installed and that it is registered properly."},
      {3, false, false,
       "Unable to load the video file itself. Make sure that another application doesn't have an exclusive "
       "lock "
       "on the file and that the folder is accessible."},
      {3, false, true, "The file selected is empty."},
      {4, false, false,
       "Unable to connect two pins on the media pipeline. Something may be wrong with your filter setup."},
      {5, false, false,
       "Unable to locate the MJPG decompression codec. Please install the GStreamer JPEG decoder (jpegdec)."},
      {5, true, false,
       "Unable to locate the H264 decompression codec. Please install a GStreamer H264 decoder."},
      {6, false, false,
       "This video is from an older format that needs to be modified to support video clip extraction. Where "
       "the "
       "file is at right now, it can't be modified due to file permission, volume permissions, or a lock "
       "from "
       "another application."},
      {7, false, false,
       "This version of the player does not support H264 source files. Please contact your OEM for the "
       "correct "
       "version."},
  };
  for (const Row& r : rows) EXPECT_EQ(GraphResultMessage(r.code, r.h264, r.emptyList), r.text) << r.code;
}

namespace {

PlannedStream V(const char* name = "", bool h264 = false) {
  return {avi::kVids, name, 10, true, h264, -1};
}
PlannedStream A(const char* name = "", int tag = avi::kWaveFormatMuLaw) {
  return {avi::kAuds, name, 10, true, false, tag};
}
PlannedStream T(const char* name = "") {
  return {avi::kTxts, name, 10, true, false, -1};
}

// "v0 a0 m" style: the branches of a plan in order, kind letter and channel.
std::string Describe(const GraphPlan& p) {
  std::string out;
  for (const BranchPlan& b : p.branches) {
    if (!out.empty()) out += ' ';
    out += b.kind == BranchKind::kVideo ? 'v' : b.kind == BranchKind::kAudio ? 'a' : 'm';
    if (b.kind != BranchKind::kMetadata) out += char('0' + b.channel);
    out += ":" + b.padName;
  }
  return out;
}

}  // namespace

// The plan trusts a stream's header for what it carries; names only pick
// the channel, and unnamed streams are placed by their order.
TEST(GraphPlan, BranchesFollowStreamHeadersNamesAndOrder) {
  const auto all = [](const std::string&) { return true; };
  const auto noMulaw = [](const std::string& f) { return f != "mulawdec"; };
  const auto onlyJpegdec = [](const std::string& f) { return f != "qmxjpegdec"; };
  const auto noJpeg = [](const std::string& f) { return f.find("jpeg") == std::string::npos; };
  struct Row {
    const char* what;
    std::vector<PlannedStream> streams;
    FactoryProbe installed;
    int result;
    std::string branches;
  } rows[] = {
      {"nine named streams",
       {V("Stream 00"), A("Stream 01"), V("Stream 02"), A("Stream 03"), V("Stream 04"), A("Stream 05"),
        V("Stream 06"), A("Stream 07"), T("Stream 08")},
       all,
       0,
       "v0:video_0 v1:video_1 v2:video_2 v3:video_3 m:subtitle_0 a0:audio_0 a1:audio_1 a2:audio_2 "
       "a3:audio_3"},
      {"camera 2 without audio, unnamed",
       {V(), A(), V(), V(), A(), V(), A()},
       all,
       0,
       "v0:video_0 v1:video_1 v2:video_2 v3:video_3 a0:audio_0 a2:audio_1 a3:audio_2"},
      {"one camera and a metadata stream, unnamed", {V(), T()}, all, 0, "v0:video_0 m:subtitle_0"},
      {"a name that contradicts the header is placed by order",
       {V("Stream 00"), V("Stream 01")},
       all,
       0,
       "v0:video_0 v1:video_1"},
      {"no decoder for the audio format: no audio",
       {V(), A(), V(), A()},
       noMulaw,
       0,
       "v0:video_0 v1:video_1"},
      {"unknown audio format: no audio", {V(), A("", 0x1234)}, all, 0, "v0:video_0"},
      {"audio without video gets nothing", {V("Stream 00"), A("Stream 03")}, all, 0, "v0:video_0"},
      {"H264 refuses the file", {V(), V("", true)}, all, 7, ""},
      {"no JPEG decoder", {V()}, noJpeg, 5, ""},
      {"stock decoder needs conversion", {V()}, onlyJpegdec, 0, "v0:video_0"},
  };
  for (const Row& r : rows) {
    const GraphPlan plan = PlanRecordingGraph(r.streams, DvrLayout::kFourChannel, r.installed);
    EXPECT_EQ(plan.result, r.result) << r.what;
    EXPECT_EQ(Describe(plan), r.branches) << r.what;
  }
  const GraphPlan stock = PlanRecordingGraph({V()}, DvrLayout::kFourChannel, onlyJpegdec);
  ASSERT_EQ(stock.branches.size(), 1u);
  EXPECT_EQ(stock.branches[0].decoder, "jpegdec");
  EXPECT_TRUE(stock.branches[0].convertToBgrx);
  // A two-channel header with a third stream is a four-channel recording.
  EXPECT_EQ(PlanRecordingGraph({V(), A(), V()}, DvrLayout::kTwoChannelWide, all).layout,
            DvrLayout::kFourChannel);
  EXPECT_EQ(PlanRecordingGraph({V(), A()}, DvrLayout::kTwoChannelWide, all).layout,
            DvrLayout::kTwoChannelWide);
}
