// The camera copy walks real generated recordings: which frames it takes,
// that they are the stored bytes, and which audio bytes go with them.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>

#include "avi/avi_reader.h"
#include "clip/camera_segment_copy.h"
#include "clip/extraction_plan.h"
#include "clip/wave_file_header.h"
#include "clip_fixtures.h"
#include "recording_writer.h"
#include "temp_dir.h"

namespace {

using clip::CopyEnd;

constexpr int kFps = 10;

struct CopyCase {
  const char* name;
  int camera;
  double start, length;
  CopyEnd end;
  const char* message;  // "" for none
  bool noAudioRecording = false;
  bool missingSource = false;
};

class CameraCopyTest : public ::testing::TestWithParam<CopyCase> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    run_ = cliptest::WriteRun(dir_->path(), "Run", 3, cliptest::SmallOptions(2, kFps));  // 3 x 20 frames
    recgen::RecordingOptions o = cliptest::SmallOptions(2, kFps);
    o.audio = {true, false, true, false};  // cameras 2 and 4 without sound
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(dir_->path() / "mute34.avi", o, error)) << error;
  }
  static void TearDownTestSuite() { delete dir_; }
  static TempDir* dir_;
  static std::vector<std::string> run_;
};
TempDir* CameraCopyTest::dir_ = nullptr;
std::vector<std::string> CameraCopyTest::run_;

TEST_P(CameraCopyTest, CopiesTheFramesOfTheRangeAndTheirShareOfSound) {
  const CopyCase& c = GetParam();
  TempDir out;
  clip::CameraSegment segment{run_, c.camera, c.start, c.length, out / "v.avi", out / "a.wav"};
  if (c.noAudioRecording) segment.files = {(dir_->path() / "mute34.avi").string()};
  if (c.missingSource) segment.files = {(dir_->path() / "absent.avi").string()};
  const std::vector<std::string>& sources = segment.files;
  const std::vector<std::string> before = {cliptest::FileMd5(run_[0]), cliptest::FileMd5(run_[1])};
  std::atomic<bool> cancel{false};
  double lastProgress = -1;
  bool progressRises = true;
  const clip::CopyResult r = clip::CopyCameraSegment(segment, cancel, [&](double f) {
    progressRises = progressRises && f >= lastProgress && f <= 1.0;
    lastProgress = f;
  });
  EXPECT_EQ(int(r.end), int(c.end)) << r.message << " / " << r.detail;
  EXPECT_EQ(r.message, c.message);
  EXPECT_TRUE(progressRises);
  EXPECT_EQ(before, (std::vector<std::string>{cliptest::FileMd5(run_[0]), cliptest::FileMd5(run_[1])}));
  if (c.end == CopyEnd::kSourceError) return;

  // Video: the stored frames of the range, byte for byte, each a key frame,
  // under the source's stream header and format.
  const auto frames = cliptest::SourceFrames(sources, c.camera);
  const cliptest::FrameRange range = cliptest::FramesIn(
      int64_t(c.start * 100 + 0.5), int64_t((c.start + c.length) * 100 + 0.5), kFps, int64_t(frames.size()));
  avi::AviReader clipReader;
  ASSERT_TRUE(clipReader.Open(segment.videoPath.string())) << clipReader.Error();
  ASSERT_EQ(clipReader.StreamCount(), 1u);
  ASSERT_EQ(int64_t(clipReader.ChunkCount(0)), range.count);
  EXPECT_EQ(r.framesWritten, range.count);
  std::vector<uint8_t> chunk;
  for (int64_t j = 0; j < range.count; ++j) {
    ASSERT_TRUE(clipReader.ReadChunk(0, std::size_t(j), chunk));
    ASSERT_EQ(chunk, frames[std::size_t(range.first + j)]) << "frame " << j;
    EXPECT_TRUE(clipReader.Stream(0).chunks[std::size_t(j)].keyframe);
  }
  avi::AviReader source;
  ASSERT_TRUE(source.Open(sources[0]));
  const avi::AviStream& sv = source.Stream(std::size_t(CameraStream(source, avi::kVids, c.camera)));
  std::vector<uint8_t> strh = clipReader.Stream(0).strh;
  EXPECT_EQ(avi::ReadLE32(strh.data() + 32), uint32_t(range.count));
  avi::WriteLE32(strh.data() + 32, sv.header.length);
  EXPECT_EQ(strh, sv.strh);
  EXPECT_EQ(clipReader.Stream(0).strf, sv.strf);

  // Audio: the 46-byte header around the source's format and the slice.
  std::ifstream wav(segment.audioPath, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(wav)), std::istreambuf_iterator<char>());
  clip::WaveHeaderFields header;
  ASSERT_TRUE(clip::ParseWaveHeader(bytes.data(), bytes.size(), header));
  const avi::AviStream& sa = source.Stream(std::size_t(CameraStream(source, avi::kAuds, c.camera)));
  EXPECT_EQ(header.format, std::vector<uint8_t>(sa.strf.begin(), sa.strf.begin() + 18));
  EXPECT_EQ(avi::ReadLE32(bytes.data() + 4), bytes.size() - 8);
  EXPECT_EQ(header.dataBytes, bytes.size() - clip::kWaveHeaderBytes);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + clip::kWaveHeaderBytes, bytes.end()),
            cliptest::SourceAudio(sources, c.camera, range.first, range.count));
  EXPECT_EQ(r.audioBytesWritten, header.dataBytes);
}

INSTANTIATE_TEST_SUITE_P(Walks, CameraCopyTest,
                         ::testing::Values(CopyCase{"StartZero", 0, 0.0, 1.0, CopyEnd::kReachedEnd, ""},
                                           CopyCase{"WhollyInTheSecondFile", 1, 2.5, 1.0,
                                                    CopyEnd::kReachedEnd, ""},
                                           CopyCase{"AcrossTwoFiles", 3, 1.5, 2.0, CopyEnd::kReachedEnd, ""},
                                           CopyCase{"ToTheLastFrame", 2, 4.0, 2.0, CopyEnd::kReachedEnd, ""},
                                           CopyCase{"FilesRunOut", 0, 5.0, 3.0, CopyEnd::kRanOut, ""},
                                           CopyCase{"CameraWithoutAudio", 1, 0.0, 1.0, CopyEnd::kSourceError,
                                                    "Unable to open source audio stream. Aborting!", true},
                                           CopyCase{"SoundOfItsOwnWhenAnotherHasNone", 2, 0.5, 1.0,
                                                    CopyEnd::kReachedEnd, "", true},
                                           CopyCase{"SourceMissing", 0, 0.0, 1.0, CopyEnd::kSourceError,
                                                    "Unable to open source file for read. It could be that "
                                                    "the file is locked at that location or you "
                                                    "do not have permission to read from this volume.",
                                                    false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CameraCopyArithmetic, RatesSlicesAndSegments) {
  const clip::AudioSlice slice = clip::AudioSliceOf(250, 500, 1000, 800000);
  EXPECT_EQ(slice.first, 200000u);
  EXPECT_EQ(slice.count, 400000u);
  EXPECT_EQ(clip::AudioSliceOf(5, 10, 0, 100).count, 0u);  // a file without frames gives nothing

  const struct {
    int64_t centis;
    const char* text;
  } positions[] = {
      {0, "0:00:00"}, {6000, "0:01:00"}, {360000, "1:00:00"}, {367512, "1:01:15"}, {-5, "0:00:00"}};
  for (const auto& p : positions) EXPECT_EQ(clip::FormatPosition(p.centis), p.text) << p.centis;

  const struct {
    double seconds;
    int planned;
    std::vector<double> lengths;
  } ranges[] = {{10, 1, {10}}, {1200, 2, {1200}}, {1200.5, 2, {1200, 0.5}}, {3000, 3, {1200, 1200, 600}}};
  for (const auto& r : ranges) {
    EXPECT_EQ(clip::SegmentCount(r.seconds), r.planned) << r.seconds;
    EXPECT_EQ(clip::SegmentLengths(r.seconds), r.lengths) << r.seconds;
  }

  const struct {
    const char* destination;
    int number;
    bool several;
    const char* name;
  } names[] = {{"/d/trip.avi", 1, false, "/d/trip.avi"},
               {"/d/trip.avi", 1, true, "/d/trip-001.avi"},
               {"/d/trip.avi", 3, true, "/d/trip-003.avi"},
               {"/d/tripclip", 2, true, "/d/trip-002.avi"},
               {"ab", 1, true, "-001.avi"}};
  for (const auto& n : names)
    EXPECT_EQ(clip::SegmentOutputName(n.destination, n.number, n.several), n.name) << n.destination;

  EXPECT_DOUBLE_EQ(clip::OverallProgress(0, 2, 0, 3, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(clip::OverallProgress(1, 2, 0, 3, 0.0), 0.5);
  EXPECT_DOUBLE_EQ(clip::OverallProgress(1, 2, 2, 3, 1.0), 1.0);
  EXPECT_DOUBLE_EQ(clip::OverallProgress(0, 1, 1, 4, 0.5), 0.375);
}

// A camera's streams are the ones the player shows for it, by their names.
TEST_F(CameraCopyTest, CameraStreamsFollowTheNames) {
  avi::AviReader partial, full;
  ASSERT_TRUE(partial.Open((dir_->path() / "mute34.avi").string()));
  ASSERT_TRUE(full.Open(run_[0]));
  const struct {
    const avi::AviReader* reader;
    avi::FourCC type;
    int camera;
    const char* name;  // nullptr: none
  } rows[] = {{&partial, avi::kAuds, 0, "Stream 01"}, {&partial, avi::kAuds, 1, nullptr},
              {&partial, avi::kAuds, 2, "Stream 05"}, {&partial, avi::kAuds, 3, nullptr},
              {&partial, avi::kVids, 3, "Stream 06"}, {&full, avi::kAuds, 2, "Stream 05"},
              {&full, avi::kVids, 1, "Stream 02"}};
  for (const auto& row : rows) {
    const int s = CameraStream(*row.reader, row.type, row.camera);
    if (!row.name) {
      EXPECT_EQ(s, -1) << row.camera;
    } else {
      ASSERT_GE(s, 0) << row.camera;
      EXPECT_EQ(row.reader->Stream(std::size_t(s)).name, row.name);
    }
  }
}

TEST(CameraCopyArithmetic, FilesForARange) {
  const std::vector<clip::ClipSourceFile> files = {
      {"a", 4, 0, 1000}, {"b", 4, 1000, 2000}, {"c", 4, 2000, 3000}};
  const struct {
    int64_t start, end;
    std::vector<std::string> paths;
  } rows[] = {{0, 500, {"a"}},     {0, 1000, {"a"}},          {999, 1001, {"a", "b"}},
              {1000, 1500, {"b"}}, {1500, 2500, {"b", "c"}},  {2500, 9000, {"c"}},
              {3000, 3100, {}},    {0, 3000, {"a", "b", "c"}}};
  for (const auto& row : rows) {
    std::vector<std::string> got;
    for (const auto& f : clip::FilesForRange(files, row.start, row.end)) got.push_back(f.path);
    EXPECT_EQ(got, row.paths) << row.start << ".." << row.end;
  }
}

}  // namespace
