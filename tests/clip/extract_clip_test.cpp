// Whole extractions through real recordings: the joined outputs against the
// sources (our reader, ffmpeg and ffprobe), the settings block read back,
// long ranges in segments, and every way out of a failed or cancelled run.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "avi/avi_reader.h"
#include "clip/clip_extraction.h"
#include "clip_fixtures.h"
#include "engine/recording_properties.h"
#include "ffmpeg_packets.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

constexpr int kFps = 10;
const std::vector<std::string> kNames = {"Brake",   "Left",  "Right", "Lights", "Siren", "Door",
                                         "Reverse", "Panic", "Aux A", "Aux B",  "Key"};

// Temporary folders of the code under test go to a folder the test watches.
class ScopedTmpdir {
 public:
  explicit ScopedTmpdir(const std::filesystem::path& dir) {
    const char* old = std::getenv("TMPDIR");
    if (old) old_ = old;
    had_ = old != nullptr;
    setenv("TMPDIR", dir.c_str(), 1);
  }
  ~ScopedTmpdir() { had_ ? setenv("TMPDIR", old_.c_str(), 1) : unsetenv("TMPDIR"); }

 private:
  std::string old_;
  bool had_ = false;
};

class ExtractClipTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    recgen::RecordingOptions o = cliptest::SmallOptions(3, kFps);
    o.title = "Clip Van";
    o.triggerNames = kNames;
    o.statedAspect = {16, 9};  // a clip shows as its recording does
    run_ = cliptest::WriteRun(dir_->path(), "Trip", 2, o);
  }
  static void TearDownTestSuite() { delete dir_; }

  clip::ExtractRequest Request(std::array<bool, 4> cameras, int64_t from, int64_t to,
                               const std::string& out) {
    clip::ExtractRequest r;
    r.files = clip::ListTimelineFiles(run_[0]);
    r.startCentis = from;
    r.endCentis = to;
    r.cameras = cameras;
    r.destination = (work_ / out).string();
    r.triggerNames = kNames;
    r.dvrTitle = "Clip Van";
    return r;
  }

  static TempDir* dir_;
  static std::vector<std::string> run_;
  TempDir work_;
  TempDir spare_;  // for sources the test may damage
  TempDir tmp_;
  ScopedTmpdir scoped_{tmp_.path()};
};
TempDir* ExtractClipTest::dir_ = nullptr;
std::vector<std::string> ExtractClipTest::run_;

// Checks one output against the sources: streams in camera order, video then
// audio of each, every frame and every audio byte the source's.
void ExpectClipOf(const std::string& output, const std::vector<std::string>& sources,
                  std::array<bool, 4> cameras, int64_t from, int64_t to, int fps) {
  avi::AviReader r;
  ASSERT_TRUE(r.Open(output)) << r.Error();
  std::size_t stream = 0;
  for (int c = 0; c < 4; ++c) {
    if (!cameras[std::size_t(c)]) continue;
    SCOPED_TRACE("camera " + std::to_string(c + 1));
    ASSERT_LT(stream + 1, r.StreamCount());
    EXPECT_EQ(r.Stream(stream).header.type, avi::kVids);
    EXPECT_EQ(r.Stream(stream + 1).header.type, avi::kAuds);
    avi::AviReader source;
    ASSERT_TRUE(source.Open(sources[0], avi::AviReader::Load::kHeadersOnly));
    EXPECT_EQ(r.Stream(stream).vprp, source.Stream(std::size_t(source.NthStreamOfType(avi::kVids, c))).vprp);
    const auto frames = cliptest::SourceFrames(sources, c);
    const cliptest::FrameRange range = cliptest::FramesIn(from, to, fps, int64_t(frames.size()));
    const auto clipFrames = cliptest::Chunks(output, int(stream));
    ASSERT_EQ(int64_t(clipFrames.size()), range.count);
    for (int64_t j = 0; j < range.count; ++j)
      ASSERT_EQ(clipFrames[std::size_t(j)], frames[std::size_t(range.first + j)]) << "frame " << j;
    EXPECT_EQ(cliptest::Joined(cliptest::Chunks(output, int(stream + 1))),
              cliptest::SourceAudio(sources, c, range.first, range.count));
    stream += 2;
  }
  EXPECT_EQ(r.StreamCount(), stream);
}

struct ClipCase {
  const char* name;
  std::array<bool, 4> cameras;
  int64_t from, to;
};

class ExtractClipCases : public ExtractClipTest, public ::testing::WithParamInterface<ClipCase> {};

TEST_P(ExtractClipCases, WritesTheSourceFramesAndSoundOfTheRange) {
  const ClipCase& c = GetParam();
  const std::vector<std::string> hashes = {cliptest::FileMd5(run_[0]), cliptest::FileMd5(run_[1])};
  std::atomic<bool> cancel{false};
  double last = 0;
  const clip::ExtractOutcome o =
      clip::ExtractClip(Request(c.cameras, c.from, c.to, "clip.avi"), cancel, [&](double f) {
        EXPECT_GE(f, last);
        last = f;
      });
  ASSERT_EQ(int(o.status), int(clip::ExtractStatus::Done)) << o.message << " " << o.detail;
  EXPECT_DOUBLE_EQ(last, 1.0);
  ASSERT_EQ(o.outputs, std::vector<std::string>{(work_ / "clip.avi").string()});
  ExpectClipOf(o.outputs[0], run_, c.cameras, c.from, c.to, kFps);
  {
    avi::AviReader clip;
    ASSERT_TRUE(clip.Open(o.outputs[0]));
    EXPECT_NEAR(avi::StatedFrameAspect(clip.Stream(0).vprp), 16.0 / 9, 1e-9);
  }
  EXPECT_EQ(hashes, (std::vector<std::string>{cliptest::FileMd5(run_[0]), cliptest::FileMd5(run_[1])}));
  EXPECT_EQ(cliptest::Listing(work_.path()), std::vector<std::string>{"clip.avi"});
  EXPECT_TRUE(cliptest::Listing(tmp_.path()).empty());

  // The settings block after the AVI data reads back as the recording's.
  RecordingProperties props;
  ASSERT_EQ(ReadRecordingProperties(o.outputs[0], props, HeaderCorrection::kReportOnly), kPropertiesOk);
  // Read from the end of a file, values start at the blank after a key of
  // the one-digit length: the title and the two-digit names keep a blank.
  std::vector<std::string> names = kNames;
  names[9] = " " + names[9];
  names[10] = " " + names[10];
  EXPECT_EQ(props.dvrTitle, " Clip Van");
  EXPECT_EQ(std::vector<std::string>(props.triggerNames.begin(), props.triggerNames.end()), names);

  // GStreamer plays it to its end: every camera decoded, its sound too.
  if (avitest::HaveProgram("gst-launch-1.0")) {
    std::string pipeline =
        "timeout 60 gst-launch-1.0 -q filesrc location=" + ShellQuote(o.outputs[0]) + " ! avidemux name=d";
    int stream = 0;
    for (int cam = 0; cam < 4; ++cam) {
      if (!c.cameras[std::size_t(cam)]) continue;
      pipeline += " d.video_" + std::to_string(stream) + " ! queue ! jpegdec ! fakesink d.audio_" +
                  std::to_string(stream) + " ! queue ! mulawdec ! fakesink";
      ++stream;
    }
    int status = -1;
    RunCommand(pipeline + " >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0) << pipeline;
  }

  // An independent demuxer sees the same frames, count and duration.
  if (!avitest::HaveProgram("ffmpeg") || !avitest::HaveProgram("ffprobe")) GTEST_SKIP() << "no ffmpeg";
  int video = 0;
  for (int cam = 0; cam < 4; ++cam) {
    if (!c.cameras[std::size_t(cam)]) continue;
    const auto clipPackets = avitest::FfmpegPackets(o.outputs[0], "0:v:" + std::to_string(video++));
    std::vector<avitest::Packet> sourcePackets;
    for (const std::string& s : run_) {
      const auto p = avitest::FfmpegPackets(s, "0:v:" + std::to_string(cam));
      sourcePackets.insert(sourcePackets.end(), p.begin(), p.end());
    }
    const cliptest::FrameRange range = cliptest::FramesIn(c.from, c.to, kFps, int64_t(sourcePackets.size()));
    ASSERT_EQ(int64_t(clipPackets.size()), range.count);
    for (int64_t j = 0; j < range.count; ++j)
      EXPECT_EQ(clipPackets[std::size_t(j)].md5, sourcePackets[std::size_t(range.first + j)].md5) << j;
    const std::string probe =
        RunCommand("ffprobe -v error -select_streams v:" + std::to_string(video - 1) +
                   " -count_packets -show_entries stream=nb_read_packets,duration -of csv=p=0 " +
                   ShellQuote(o.outputs[0]));
    double duration = 0;
    long packets = 0;
    ASSERT_EQ(std::sscanf(probe.c_str(), "%lf,%ld", &duration, &packets), 2) << probe;
    EXPECT_EQ(packets, range.count);
    EXPECT_NEAR(duration, double(range.count) / kFps, 0.001);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, ExtractClipCases,
    ::testing::Values(ClipCase{"AllCamerasFromTheStart", {true, true, true, true}, 0, 100},
                      ClipCase{"CamerasTwoAndFour", {false, true, false, true}, 150, 450},
                      ClipCase{"InTheSecondFile", {true, false, false, false}, 320, 510},
                      ClipCase{"ToTheEnd", {false, false, true, false}, 250, 600}),
    [](const auto& info) { return std::string(info.param.name); });

// Cancel in each phase, a source cut short while it is read, an output that
// can't be written: no output under the name, the sources unchanged, no
// temporary file anywhere.
struct FaultCase {
  const char* name;
  double at;  // overall progress at which the fault strikes
  enum { kCancel, kTruncate, kFolderDestination } fault;
  clip::ExtractStatus status;
};

class ExtractFaults : public ExtractClipTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ExtractFaults, LeaveNoOutputAndNoTemporaryFile) {
  const FaultCase& f = GetParam();
  std::vector<std::string> sources;
  for (const std::string& s : run_) {
    sources.push_back((spare_ / std::filesystem::path(s).filename().string()).string());
    std::filesystem::copy_file(s, sources.back());
  }
  clip::ExtractRequest request = Request({true, true, false, false}, 50, 450, "clip.avi");
  request.files = clip::ListTimelineFiles(sources[0]);
  if (f.fault == FaultCase::kFolderDestination) std::filesystem::create_directory(request.destination);
  const std::string untouched = cliptest::FileMd5(sources[0]);
  std::atomic<bool> cancel{false};
  bool struck = false;
  const clip::ExtractOutcome o = clip::ExtractClip(request, cancel, [&](double p) {
    if (struck || p < f.at) return;
    struck = true;
    if (f.fault == FaultCase::kCancel) cancel = true;
    if (f.fault == FaultCase::kTruncate) std::filesystem::resize_file(sources[1], 30000);
  });
  EXPECT_EQ(int(o.status), int(f.status)) << o.message << " / " << o.detail;
  EXPECT_FALSE(o.message.empty());
  EXPECT_TRUE(o.outputs.empty());
  EXPECT_EQ(cliptest::FileMd5(sources[0]), untouched);
  const std::vector<std::string> expected = f.fault == FaultCase::kFolderDestination
                                                ? std::vector<std::string>{"clip.avi"}
                                                : std::vector<std::string>{};
  EXPECT_EQ(cliptest::Listing(work_.path()), expected);
  EXPECT_TRUE(cliptest::Listing(tmp_.path()).empty());
  if (f.fault == FaultCase::kCancel) {
    EXPECT_EQ(o.message, "Extraction Cancelled");
  }
  if (f.fault == FaultCase::kFolderDestination) {
    EXPECT_NE(o.message.find("can't be overwritten"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ExtractFaults,
    ::testing::Values(FaultCase{"CancelAtTheStart", 0.0, FaultCase::kCancel, clip::ExtractStatus::Cancelled},
                      FaultCase{"CancelHalfWay", 0.5, FaultCase::kCancel, clip::ExtractStatus::Cancelled},
                      FaultCase{"CancelNearTheEnd", 0.75, FaultCase::kCancel, clip::ExtractStatus::Cancelled},
                      FaultCase{"SourceTruncatedWhileRead", 0.05, FaultCase::kTruncate,
                                clip::ExtractStatus::ReadFailed},
                      FaultCase{"DestinationIsAFolder", 2.0, FaultCase::kFolderDestination,
                                clip::ExtractStatus::OutputRefused}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExtractClipTest, EmptyOrUncoveredRangesDoNothing) {
  std::atomic<bool> cancel{false};
  const struct {
    int64_t from, to;
    std::array<bool, 4> cameras;
  } rows[] = {{300, 300, {true}}, {400, 100, {true}}, {700, 800, {true}}, {0, 100, {}}};
  for (const auto& row : rows) {
    const clip::ExtractOutcome o = clip::ExtractClip(Request(row.cameras, row.from, row.to, "x.avi"), cancel);
    EXPECT_EQ(int(o.status), int(clip::ExtractStatus::NothingToDo)) << row.from << ".." << row.to;
    EXPECT_TRUE(cliptest::Listing(work_.path()).empty());
  }
  EXPECT_TRUE(clip::ListTimelineFiles((work_ / "absent.avi").string()).empty());
  const auto files = clip::ListTimelineFiles(run_[0]);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1].startCentis, 300);
  EXPECT_EQ(files[1].endCentis, 600);
  EXPECT_EQ(files[0].videoChannels, 4);
}

// Twenty-minute segments, on a one-camera recording at one frame per second.
TEST_F(ExtractClipTest, LongRangesAreCutIntoTwentyMinuteFiles) {
  TempDir long_;
  recgen::RecordingOptions o = cliptest::SmallOptions(1202, 1);
  o.video = o.audio = {true, false, false, false};
  o.meta = recgen::MetaPlacement::kNone;
  std::string error;
  const std::string source = (long_ / "long.avi").string();
  ASSERT_TRUE(recgen::WriteRecording(source, o, error)) << error;
  const struct {
    int64_t to;
    std::vector<std::string> names;
    std::vector<int64_t> froms, tos;
  } rows[] = {{120000, {"c.avi"}, {0}, {120000}},
              {120050, {"c-001.avi", "c-002.avi"}, {0, 120000}, {120000, 120050}}};
  for (const auto& row : rows) {
    TempDir out;
    clip::ExtractRequest r;
    r.files = clip::ListTimelineFiles(source);
    r.startCentis = 0;
    r.endCentis = row.to;
    r.cameras = {true, false, false, false};
    r.destination = (out / "c.avi").string();
    std::atomic<bool> cancel{false};
    const clip::ExtractOutcome result = clip::ExtractClip(r, cancel);
    ASSERT_EQ(int(result.status), int(clip::ExtractStatus::Done)) << result.message << result.detail;
    ASSERT_EQ(result.outputs.size(), row.names.size());
    for (std::size_t i = 0; i < row.names.size(); ++i) {
      EXPECT_EQ(result.outputs[i], (out / row.names[i]).string());
      ExpectClipOf(result.outputs[i], {source}, r.cameras, row.froms[i], row.tos[i], 1);
    }
    EXPECT_EQ(cliptest::Listing(out.path()), row.names);
  }
}

}  // namespace
