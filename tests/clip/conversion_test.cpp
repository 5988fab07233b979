// Two-channel conversion on real files: the header test, the progress
// arithmetic, and a source that only a complete, verified copy replaces.
#include <gtest/gtest.h>

#include <atomic>

#include "avi/avi_reader.h"
#include "clip/two_channel_conversion.h"
#include "clip_fixtures.h"
#include "recording_writer.h"
#include "temp_dir.h"

namespace {

TEST(TwoChannelConversion, HeaderTestAndProgress) {
  const struct {
    uint16_t listSize, width, height;
    bool original;
  } headers[] = {{380, 720, 480, true},  {380, 640, 240, true}, {380, 704, 576, false},
                 {381, 640, 480, false}, {380, 320, 240, true}, {892, 320, 480, false}};
  for (const auto& h : headers) {
    uint8_t bytes[70] = {};
    bytes[16] = uint8_t(h.listSize), bytes[17] = uint8_t(h.listSize >> 8);
    bytes[64] = uint8_t(h.width), bytes[65] = uint8_t(h.width >> 8);
    bytes[68] = uint8_t(h.height), bytes[69] = uint8_t(h.height >> 8);
    EXPECT_EQ(clip::IsOriginalTwoChannelHeader(bytes, sizeof bytes), h.original)
        << h.listSize << " " << h.width << "x" << h.height;
    EXPECT_FALSE(clip::IsOriginalTwoChannelHeader(bytes, 69));
  }
  EXPECT_FALSE(clip::IsOriginalTwoChannel("/nonexistent/file.avi"));

  const struct {
    double fraction;
    int progress;
  } steps[] = {{0, 0},        {0.001, 4},  {0.002, 8}, {0.003, 12},
               {0.2495, 996}, {0.25, 999}, {0.9, 999}, {1.0, 999}};
  for (const auto& s : steps) EXPECT_EQ(clip::ConversionProgress(s.fraction), s.progress) << s.fraction;
}

struct ConvertCase {
  const char* name;
  bool cancel;
  clip::ConvertStatus status;
};

class ConvertFileTest : public testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertFileTest, ReplacesTheSourceOnlyWithAVerifiedCopy) {
  const ConvertCase& c = GetParam();
  TempDir dir;
  recgen::RecordingOptions o = cliptest::SmallOptions(6, 10);
  o.kind = 2;
  o.header380 = true;
  const std::string path = (dir / "two.avi").string();
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(path, o, error)) << error;
  ASSERT_TRUE(clip::IsOriginalTwoChannel(path));
  const auto video = cliptest::Chunks(path, 0), audio = cliptest::Chunks(path, 1);
  const std::string before = cliptest::FileMd5(path);

  std::atomic<bool> cancel{false};
  std::vector<int> progress;
  const clip::ConvertOutcome outcome = clip::ConvertFile(path, cancel, [&](int p) {
    progress.push_back(p);
    if (c.cancel && p > 0) cancel = true;
  });
  EXPECT_EQ(int(outcome.status), int(c.status)) << outcome.message << " " << outcome.detail;
  EXPECT_EQ(cliptest::Listing(dir.path()), std::vector<std::string>{"two.avi"});
  ASSERT_FALSE(progress.empty());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  if (c.status != clip::ConvertStatus::kConverted) {
    EXPECT_EQ(cliptest::FileMd5(path), before);
    return;
  }
  EXPECT_EQ(progress.back(), 1000);
  EXPECT_FALSE(clip::IsOriginalTwoChannel(path));
  EXPECT_EQ(cliptest::Chunks(path, 0), video);
  EXPECT_EQ(cliptest::Chunks(path, 1), audio);
}

INSTANTIATE_TEST_SUITE_P(Files, ConvertFileTest,
                         testing::Values(ConvertCase{"Converted", false, clip::ConvertStatus::kConverted},
                                         ConvertCase{"Cancelled", true, clip::ConvertStatus::kCancelled}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
