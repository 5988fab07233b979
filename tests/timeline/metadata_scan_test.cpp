#include "engine/metadata_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>

#include "expected_metadata.h"
#include "recording_writer.h"
#include "temp_dir.h"

namespace {

void ExpectSameRecord(const MetadataSample& want, const MetadataSample& got, const std::string& where) {
  EXPECT_EQ(want.utcSeconds, got.utcSeconds) << where;
  EXPECT_EQ(want.milliseconds, got.milliseconds) << where;
  EXPECT_EQ(want.triggerBits, got.triggerBits) << where;
  EXPECT_EQ(want.satellites, got.satellites) << where;
  EXPECT_EQ(want.latitude, got.latitude) << where;
  EXPECT_EQ(want.longitude, got.longitude) << where;
  EXPECT_EQ(want.speed, got.speed) << where;
  EXPECT_EQ(want.accelX, got.accelX) << where;
  EXPECT_EQ(want.accelY, got.accelY) << where;
  EXPECT_EQ(want.accelZ, got.accelZ) << where;
}

recgen::RecordingOptions SmallOptions() {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.seconds = 3;
  o.fps = 10;
  o.audio = {false, false, false, false};
  return o;
}

struct FileRow {
  const char* name;
  std::function<void(recgen::RecordingOptions&)> shape;
  int channel;        // asked of the scan
  int recordChannel;  // whose records it must return (0 = metadata stream)
  bool textLines;
  bool fromStream;
};

void PrintTo(const FileRow& row, std::ostream* os) {
  *os << row.name;
}

class ScanFileTest : public ::testing::TestWithParam<FileRow> {};

TEST_P(ScanFileTest, ReturnsEveryRecordAtItsFrameTime) {
  const FileRow& row = GetParam();
  TempDir dir;
  recgen::RecordingOptions o = SmallOptions();
  row.shape(o);
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "rec.avi", o, error)) << error;

  const FileScan scan = ScanRecordingFile((dir / "rec.avi").string(), row.channel);
  EXPECT_EQ(scan.error, "");
  EXPECT_EQ(scan.textLines, row.textLines);
  EXPECT_EQ(scan.fromMetadataStream, row.fromStream);
  EXPECT_EQ(scan.startCentis, 0);
  EXPECT_EQ(scan.lengthCentis, 300);
  if (row.textLines) {
    EXPECT_TRUE(scan.records.empty());
    return;
  }
  ASSERT_EQ(scan.records.size(), 30u);
  for (std::size_t k = 0; k < scan.records.size(); ++k) {
    EXPECT_EQ(scan.records[k].centis, int64_t(k) * 10);
    ExpectSameRecord(recgen::ExpectedMetadata(o, row.recordChannel, int64_t(k)), scan.records[k].sample,
                     std::string(row.name) + " frame " + std::to_string(k));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ScanFileTest,
    ::testing::Values(FileRow{"records in camera 1's frames", [](auto&) {}, 0, 1, false, false},
                      FileRow{"records in camera 3's frames", [](auto&) {}, 2, 3, false, false},
                      FileRow{"camera 1 missing: the first camera present",
                              [](auto& o) {
                                o.video = {false, true, true, true};
                              },
                              0, 2, false, false},
                      FileRow{"metadata stream", [](auto& o) { o.meta = recgen::MetaPlacement::kStream; }, 0,
                              0, false, true},
                      FileRow{"metadata stream with the recorder's own header",
                              [](auto& o) {
                                o.meta = recgen::MetaPlacement::kStream;
                                o.dvrMetaHeader = true;
                              },
                              0, 0, false, true},
                      FileRow{"text lines",
                              [](auto& o) {
                                o.kind = 1;
                                o.header380 = true;
                                o.textLines = recgen::TextLines::kA;
                              },
                              0, 0, true, false},
                      FileRow{"text lines, placement B in a four-channel file",
                              [](auto& o) { o.textLines = recgen::TextLines::kB; }, 0, 0, true, false}),
    [](const auto& info) { return "row" + std::to_string(info.index); });

TEST(ScanBadFiles, GiveWhatWasReadAndAnError) {
  TempDir dir;
  recgen::RecordingOptions o = SmallOptions();
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "full.avi", o, error)) << error;
  const auto fullSize = std::filesystem::file_size(dir / "full.avi");

  // Cut at 60 %: the index at the end is gone, so the frames are found by
  // walking what is left.
  std::filesystem::copy_file(dir / "full.avi", dir / "cut.avi");
  std::filesystem::resize_file(dir / "cut.avi", fullSize * 6 / 10);
  std::ofstream(dir / "garbage.avi", std::ios::binary) << std::string(20000, '\x5a');
  std::ofstream(dir / "empty.avi", std::ios::binary);

  struct Row {
    std::string file;
    std::size_t minRecords, maxRecords;
  };
  for (const Row& row : {Row{"cut.avi", 10, 29}, Row{"garbage.avi", 0, 0}, Row{"empty.avi", 0, 0},
                         Row{"missing.avi", 0, 0}, Row{"", 0, 0}}) {
    const FileScan scan = ScanRecordingFile((dir / row.file).string());
    EXPECT_NE(scan.error, "") << row.file;
    EXPECT_GE(scan.records.size(), row.minRecords) << row.file;
    EXPECT_LE(scan.records.size(), row.maxRecords) << row.file;
    for (std::size_t k = 0; k < scan.records.size(); ++k) {
      ExpectSameRecord(recgen::ExpectedMetadata(o, 1, int64_t(k)), scan.records[k].sample, row.file);
    }
  }
}

TEST(ScanRun, FollowsTheNumberedRunOnOneTimeline) {
  TempDir dir;
  recgen::RecordingOptions o = SmallOptions();
  o.triggerNames = {"Brake", "Horn"};
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", 3, o, error)) << error;

  std::vector<double> fractions;
  const RecordingScan scan =
      ScanRecording((dir / "Trip-002.avi").string(), nullptr, [&](double f) { fractions.push_back(f); });
  ASSERT_EQ(scan.files.size(), 2u);  // the run starts where it is opened
  ASSERT_GE(scan.triggerNames.size(), 2u);
  EXPECT_EQ(scan.triggerNames[0], "Brake");
  EXPECT_EQ(scan.triggerNames[1], "Horn");
  ASSERT_FALSE(fractions.empty());
  EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
  EXPECT_EQ(fractions.back(), 1.0);

  const RecordingScan whole = ScanRecording((dir / "Trip-001.avi").string());
  ASSERT_EQ(whole.files.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const FileScan& f = whole.files[i];
    EXPECT_EQ(f.error, "");
    EXPECT_EQ(f.startCentis, int64_t(i) * 300);
    EXPECT_EQ(f.lengthCentis, 300);
    ASSERT_EQ(f.records.size(), 30u);
    recgen::RecordingOptions fileOptions = o;
    fileOptions.firstFrame = int64_t(i) * 30;
    for (std::size_t k = 0; k < 30; ++k) {
      EXPECT_EQ(TimelineCentis(f, f.records[k]), int64_t(i * 300 + k * 10));
      ExpectSameRecord(recgen::ExpectedMetadata(fileOptions, 1, int64_t(k)), f.records[k].sample,
                       "file " + std::to_string(i));
    }
  }

  std::atomic<bool> cancel{true};
  EXPECT_TRUE(ScanRecording((dir / "Trip-001.avi").string(), &cancel).files.empty());
}

}  // namespace
