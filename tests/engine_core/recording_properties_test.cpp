#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "engine/recording_properties.h"
#include "temp_dir.h"

namespace {

// A file of `size` filler bytes with texts placed at given offsets.
class FileBuilder {
 public:
  explicit FileBuilder(std::size_t size, uint8_t filler = 0) : bytes_(size, filler) {}
  FileBuilder& Put(std::size_t at, const std::string& text) {
    std::memcpy(bytes_.data() + at, text.data(), text.size());
    return *this;
  }
  // Text followed by its NUL.
  FileBuilder& Line(std::size_t at, const std::string& text) { return Put(at, text + std::string(1, '\0')); }
  // The start of an AVI whose main header declares `streams` streams.
  FileBuilder& AviHeader(uint8_t streams) {
    Put(0, "RIFF").Put(8, "AVI ").Put(12, "LIST").Put(20, "hdrl").Put(24, "avih");
    bytes_[28] = 56;
    bytes_[56] = streams;
    return *this;
  }
  void Write(const std::filesystem::path& path) const {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes_.data()), std::streamsize(bytes_.size()));
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

uint8_t ByteOnDisk(const std::filesystem::path& path, std::size_t offset) {
  std::ifstream file(path, std::ios::binary);
  file.seekg(std::streamoff(offset));
  return uint8_t(file.get());
}

class RecordingPropertiesTest : public ::testing::Test {
 protected:
  int Read(const FileBuilder& builder, HeaderCorrection c = HeaderCorrection::kApply) {
    builder.Write(path_);
    return ReadRecordingProperties(path_, props_, c);
  }
  TempDir dir_;
  std::filesystem::path path_ = dir_ / "rec.avi";
  RecordingProperties props_;
};

TEST_F(RecordingPropertiesTest, EveryKey) {
  FileBuilder f(12000);
  f.AviHeader(4)
      .Line(400, "set system.title-1 Bus 12.north")
      .Line(500, "set trigger.name3 Door")
      .Line(540, "set trigger.name10 Brake")
      .Line(580, "set trigger.name12 X")
      .Line(600, "set gps.enable YES")
      .Line(640, "set dvr.version 3.1.7")
      .Line(700, "set camera-1.audio OFF")
      .Line(740, "set camera-2.audioEnable ON")
      .Line(780, "set camera-3.audio maybe")
      .Line(820, "set camera-2.bitRate 1,536,000.")
      .Line(860, "set camera-4.bitRate 999")
      .Line(900, "set camera-5.bitRate 8000");
  ASSERT_EQ(Read(f), kPropertiesOk);
  EXPECT_EQ(props_.dvrTitle, "Bus 12");
  EXPECT_EQ(props_.triggerNames[2], "Door");
  EXPECT_EQ(props_.triggerNames[9], " Brake");  // two-digit numbers keep the blank
  EXPECT_EQ(props_.triggerNames[10], "Trigger 10");
  EXPECT_FALSE(props_.noTriggerNames);
  EXPECT_EQ(props_.gpsText, "GPS Enabled");
  EXPECT_EQ(props_.dvrVersion, "3.1.7");
  EXPECT_EQ(props_.audioText[0], "Audio Disabled");
  EXPECT_EQ(props_.audioText[1], "Audio Enabled");
  EXPECT_EQ(props_.audioText[2], "N/A");
  EXPECT_EQ(props_.bitRateText[1], "1536 kbit/s");
  EXPECT_EQ(props_.bitRateText[3], "0 kbit/s");
  EXPECT_EQ(props_.bitRateText[0], "N/A");
  EXPECT_EQ(props_.triggerList,
            "Trigger 0,Trigger 1,Door,Trigger 3,Trigger 4,Trigger 5,Trigger 6,Trigger 7,Trigger 8, "
            "Brake,Trigger 10");
  EXPECT_EQ(props_.sizeText, "0 mb");
  EXPECT_FALSE(props_.headerCorrectionNeeded);
}

TEST_F(RecordingPropertiesTest, GpsOnlyUpperCaseYes) {
  for (const auto& [value, text] : std::vector<std::pair<std::string, std::string>>{
           {"NO", "GPS Disabled"}, {"yes", "GPS Disabled"}, {"YES", "GPS Enabled"}}) {
    FileBuilder f(10000);
    f.Line(100, "set gps.enable " + value);
    ASSERT_EQ(Read(f), kPropertiesOk);
    EXPECT_EQ(props_.gpsText, text) << value;
  }
}

TEST_F(RecordingPropertiesTest, ShortFileChangesOnlyTheTitle) {
  props_.sizeText = "7 mb";
  props_.dvrTitle = "Earlier";
  FileBuilder f(9999);
  f.Line(100, "set system.title-1 Ignored.").Line(200, "set trigger.name1 Ignored");
  ASSERT_EQ(Read(f), kPropertiesOk);
  EXPECT_EQ(props_.dvrTitle, "Unknown DVR");
  EXPECT_EQ(props_.sizeText, "7 mb");
  EXPECT_EQ(props_.triggerNames[0], "Trigger 0");
  EXPECT_EQ(ReadRecordingProperties(dir_ / "missing.avi", props_), kPropertiesCannotOpen);
}

TEST_F(RecordingPropertiesTest, SizesAddUpAcrossFiles) {
  ASSERT_EQ(Read(FileBuilder(1500000)), kPropertiesOk);
  EXPECT_EQ(props_.sizeText, "1 mb");
  ASSERT_EQ(Read(FileBuilder(2600000)), kPropertiesOk);
  EXPECT_EQ(props_.byteTotal, 4100000);
  EXPECT_EQ(props_.sizeText, "4 mb");
}

TEST_F(RecordingPropertiesTest, ValuesNearTheWindowEnds) {
  // A title without terminator ends at offset 9,500.
  FileBuilder f(20000, 'z');
  f.Put(9400, "set system.title-1 ").Put(9419, std::string(200, 'T'));
  ASSERT_EQ(Read(f), kPropertiesOk);
  EXPECT_EQ(props_.dvrTitle, std::string(81, 'T'));

  // A version running past the 10,000-byte window ends with it.
  FileBuilder v(20000, 'z');
  v.Put(9480, "set dvr.version ").Put(9496, std::string(504, 'V'));
  ASSERT_EQ(Read(v), kPropertiesOk);
  EXPECT_EQ(props_.dvrVersion, std::string(504, 'V'));

  // A key at 9,499 is seen; one at 9,500 is not.
  FileBuilder g(10000);
  g.Line(9499, "set gps.enable YES");
  ASSERT_EQ(Read(g), kPropertiesOk);
  EXPECT_EQ(props_.gpsText, "GPS Enabled");
  props_.gpsText = "N/A";
  FileBuilder late(10000);
  late.Line(9500, "set gps.enable YES");
  ASSERT_EQ(Read(late), kPropertiesOk);
  EXPECT_EQ(props_.gpsText, "N/A");

  FileBuilder h(10000);
  h.Put(9499, "set camera-1.bitRate 64000");  // the value runs to the window's last bytes
  ASSERT_EQ(Read(h), kPropertiesOk);
  EXPECT_EQ(props_.bitRateText[0], "64 kbit/s");
}

TEST_F(RecordingPropertiesTest, TriggerNamesAreCutAt255Bytes) {
  FileBuilder f(12000, 'n');
  f.Put(300, "set trigger.name1 ");
  ASSERT_EQ(Read(f), kPropertiesOk);
  EXPECT_EQ(props_.triggerNames[0], std::string(255, 'n'));
}

TEST_F(RecordingPropertiesTest, JunkVersionChunk) {
  FileBuilder f(12000);
  f.Put(2000, "JUNK").Put(2008, "MDVR").Line(2208, "MDVR 2.04");
  ASSERT_EQ(Read(f), kPropertiesOk);
  EXPECT_EQ(props_.dvrVersion, "MDVR 2.04");
  FileBuilder g(12000, 'q');
  g.Put(9499, "JUNK").Put(9507, "MDVR");  // the last place a key is looked for
  ASSERT_EQ(Read(g), kPropertiesOk);
  EXPECT_EQ(props_.dvrVersion, std::string(10000 - 9707, 'q'));
}

TEST_F(RecordingPropertiesTest, BlockAtTheEndOfAClip) {
  FileBuilder f(50000);
  f.Line(49200, "set system.title-1 Depot bus").Line(49300, "set trigger.name2 Siren");
  f.Line(49980, "set trigger.name3 L");  // within the last 20 bytes: not scanned
  ASSERT_EQ(Read(f), kPropertiesOk);
  EXPECT_EQ(props_.dvrTitle, " Depot bus");
  EXPECT_EQ(props_.triggerNames[1], "Siren");
  EXPECT_EQ(props_.triggerNames[2], "Trigger 2");
  EXPECT_FALSE(props_.noTriggerNames);

  // Names at the start make the end block irrelevant.
  RecordingProperties fresh;
  props_ = fresh;
  f.Line(500, "set trigger.name5 Front");
  ASSERT_EQ(Read(f), kPropertiesOk);
  EXPECT_EQ(props_.triggerNames[1], "Trigger 1");
  EXPECT_EQ(props_.dvrTitle, "Unknown DVR");
}

bool FailingWriter(const std::filesystem::path&, uint64_t, uint8_t) {
  return false;
}

TEST_F(RecordingPropertiesTest, OneStreamHeaderIsCorrectedOrReported) {
  FileBuilder f(12000);
  f.AviHeader(1);
  ASSERT_EQ(Read(f, HeaderCorrection::kReportOnly), kPropertiesOk);
  EXPECT_TRUE(props_.headerCorrectionNeeded);
  EXPECT_EQ(ByteOnDisk(path_, 56), 1);

  ASSERT_EQ(ReadRecordingProperties(path_, props_, HeaderCorrection::kApply, &FailingWriter),
            kPropertiesCannotCorrect);
  EXPECT_EQ(ByteOnDisk(path_, 56), 1);

  if (::geteuid() != 0) {
    std::filesystem::permissions(path_, std::filesystem::perms::owner_read);
    EXPECT_EQ(ReadRecordingProperties(path_, props_), kPropertiesCannotCorrect);
    std::filesystem::permissions(path_,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
  ASSERT_EQ(ReadRecordingProperties(path_, props_), kPropertiesOk);
  EXPECT_EQ(ByteOnDisk(path_, 56), 2);
  RecordingProperties again;
  ASSERT_EQ(ReadRecordingProperties(path_, again), kPropertiesOk);
  EXPECT_FALSE(again.headerCorrectionNeeded);
}

TEST_F(RecordingPropertiesTest, AvihInsideFrameDataIsNeverRewritten) {
  FileBuilder f(12000);
  f.AviHeader(4).Put(5000, "avih");
  f.bytes()[5032] = 1;
  ASSERT_EQ(Read(f), kPropertiesOk);
  EXPECT_FALSE(props_.headerCorrectionNeeded);
  EXPECT_EQ(ByteOnDisk(path_, 5032), 1);
}

TEST(ParseConfigNumber, EdgeCases) {
  const std::vector<std::pair<std::string, int64_t>> cases = {{"1,536,000", 1536000},
                                                              {"64000", 64000},
                                                              {"", 0},
                                                              {"abc", 0},
                                                              {",,5", 5},
                                                              {"12 34", 12},
                                                              {"-5", 0},
                                                              {"7x9", 7},
                                                              {"99999999999999999999999", INT64_MAX}};
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(ParseConfigNumber(reinterpret_cast<const uint8_t*>(text.data()), text.size()), value) << text;
  }
}

}  // namespace
