#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "metadata/metadata_decoder.h"
#include "metadata/metadata_sample.h"
#include "metadata/recording_context.h"
#include "metadata/trigger_names.h"

namespace {

struct Call {
  int listener;
  std::string source, label, text;
};

// Records every call of every listener in one shared order, so tests see the
// interleaving across slots.
struct Recorder {
  std::vector<Call> calls;
  struct Slot : CMetadataInterface {
    Recorder* owner = nullptr;
    int id = 0;
    void OnMetadata(const char* source, const char* label, const char* text) override {
      owner->calls.push_back({id, source, label, text});
    }
  };
  Slot slots[5];
  Recorder() {
    for (int i = 0; i < 5; ++i) slots[i].owner = this, slots[i].id = i;
  }
  std::string Text(const std::string& label) const {
    for (const Call& c : calls)
      if (c.label == label) return c.text;
    return "<none>";
  }
};

std::vector<uint8_t> Record(const MetadataSample& s) {
  std::vector<uint8_t> bytes(kMetadataSampleBytes);
  PackMetadataSample(s, bytes.data());
  return bytes;
}

std::vector<uint8_t> Frame(const MetadataSample& s, std::size_t size = kFrameMinimumBytes) {
  std::vector<uint8_t> bytes(size, 0xFF);
  PackMetadataSample(s, bytes.data() + kFrameMetadataOffset);
  return bytes;
}

// A frame of the two-channel DVR: no record, three lines in the tail.
std::vector<uint8_t> TextLineFrame(std::size_t firstSlot, const char* l1, const char* l2, const char* l3) {
  std::vector<uint8_t> bytes(6000, 0x41);
  uint8_t* tail = bytes.data() + bytes.size() - 128;
  const char* lines[3] = {l1, l2, l3};
  for (int i = 0; i < 3; ++i) {
    uint8_t* slot = tail + firstSlot + 31 * i;
    std::memset(slot, ' ', 31);
    std::memcpy(slot, lines[i], std::strlen(lines[i]) + 1);
    slot[30] = 0;
  }
  return bytes;
}

class MetadataDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetTriggerNamesToDefaults(); }
  void TearDown() override { ResetTriggerNamesToDefaults(); }
};

TEST_F(MetadataDecoderTest, ZeroRecordGivesTheEpochAndZeros) {
  Recorder r;
  MetadataDecoder d("Meta Data Extractor 1", DvrLayout::kFourChannel);
  d.SetListener(0, &r.slots[0]);
  MetadataSample s;
  d.ParseMetadataSample(Record(s).data(), kMetadataSampleBytes);

  const std::vector<std::pair<std::string, std::string>> expected = {{"UTC Time", "1-1-1970  00:00:00.000"},
                                                                     {"Local Time", "1-1-1970  00:00:00.000"},
                                                                     {"GPS Sat Count", "0"},
                                                                     {"Latitude", "0.000000"},
                                                                     {"Longitude", "0.000000"},
                                                                     {"Speed", "0"},
                                                                     {"X Acceleration", "+0.0"},
                                                                     {"Y Acceleration", "+0.0"},
                                                                     {"Z Acceleration", "+0.0"},
                                                                     {"Triggers", ""}};
  ASSERT_EQ(r.calls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(r.calls[i].source, "Meta Data Extractor 1");
    EXPECT_EQ(r.calls[i].label, expected[i].first);
    EXPECT_EQ(r.calls[i].text, expected[i].second);
  }
}

TEST_F(MetadataDecoderTest, FieldFormats) {
  MetadataSample s;
  s.utcSeconds = 1298988309;
  s.localSeconds = 0xFFFFFFFFu;  // the last second an unsigned value holds
  s.milliseconds = 7;
  s.satellites = 9;
  s.latitude = 49164567;
  s.longitude = -122393000;
  s.speed = 100;
  Recorder r;
  MetadataDecoder d("x", DvrLayout::kFourChannel);
  d.SetListener(0, &r.slots[0]);
  d.ParseMetadataSample(Frame(s).data(), kFrameMinimumBytes);

  EXPECT_EQ(r.Text("UTC Time"), "3-1-2011  14:05:09.007");
  EXPECT_EQ(r.Text("Local Time"), "2-7-2106  06:28:15.007");
  EXPECT_EQ(r.Text("GPS Sat Count"), "9");
  EXPECT_EQ(r.Text("Latitude"), "49.274278");
  EXPECT_EQ(r.Text("Longitude"), "-122.655000");
  EXPECT_EQ(r.Text("Speed"), "62");
}

TEST_F(MetadataDecoderTest, LeapDayAndHugeSpeed) {
  MetadataSample s;
  s.utcSeconds = 951782400;  // 2000-02-29 00:00:00
  s.speed = 0xFFFFFFFFu;
  Recorder r;
  MetadataDecoder d("x", DvrLayout::kFourChannel);
  d.SetListener(0, &r.slots[0]);
  d.ParseMetadataSample(Record(s).data(), kMetadataSampleBytes);
  EXPECT_EQ(r.Text("UTC Time"), "2-29-2000  00:00:00.000");
  EXPECT_EQ(r.Text("Speed"), "2668768947");  // not wrapped negative
}

TEST_F(MetadataDecoderTest, AccelerationsAreShownInGAfterTheSnapRules) {
  // Raw tenths of g: 7..13 snap to 1 g, -3..3 to rest; the rest is r / 10.
  const std::vector<std::pair<int, std::string>> table = {
      {10, "+1.0"}, {7, "+1.0"},   {13, "+1.0"},  {14, "+1.4"},   {6, "+0.6"},
      {3, "+0.0"},  {-3, "+0.0"},  {0, "+0.0"},   {4, "+0.4"},    {-4, "-0.4"},
      {-7, "-0.7"}, {-10, "-1.0"}, {-25, "-2.5"}, {127, "+12.7"}, {-128, "-12.8"}};
  for (const auto& [raw, text] : table) {
    MetadataSample s;
    s.accelX = int8_t(raw);
    s.accelY = int8_t(raw);
    s.accelZ = int8_t(raw);
    Recorder r;
    MetadataDecoder d("x", DvrLayout::kFourChannel);
    d.SetListener(0, &r.slots[0]);
    d.ParseMetadataSample(Record(s).data(), kMetadataSampleBytes);
    EXPECT_EQ(r.Text("X Acceleration"), text) << raw;
    EXPECT_EQ(r.Text("Y Acceleration"), text) << raw;
    EXPECT_EQ(r.Text("Z Acceleration"), text) << raw;
  }
}

TEST_F(MetadataDecoderTest, TriggerTexts) {
  const std::vector<std::pair<uint32_t, std::string>> table = {
      {0x5, "Trigger 0,Trigger 2"},
      {0xFFFFF800u, ""},  // only the ignored bits 11..31
      {0x7FF,
       "Trigger 0,Trigger 1,Trigger 2,Trigger 3,Trigger 4,Trigger 5,Trigger 6,Trigger 7,Trigger 8,Trigger "
       "9,Trigger 10"},
      {0x400, "Trigger 10"}};
  for (const auto& [bits, text] : table) {
    MetadataSample s;
    s.triggerBits = bits;
    Recorder r;
    MetadataDecoder d("x", DvrLayout::kFourChannel);
    d.SetListener(0, &r.slots[0]);
    d.ParseMetadataSample(Record(s).data(), kMetadataSampleBytes);
    EXPECT_EQ(r.Text("Triggers"), text) << bits;
  }
}

TEST_F(MetadataDecoderTest, TriggerTextUsesCurrentNamesOfAnyLength) {
  SetTriggerName(1, "Door");
  SetTriggerName(3, std::string(300, 'L'));
  MetadataSample s;
  s.triggerBits = 0xA;
  Recorder r;
  MetadataDecoder d("x", DvrLayout::kFourChannel);
  d.SetListener(0, &r.slots[0]);
  d.ParseMetadataSample(Record(s).data(), kMetadataSampleBytes);
  EXPECT_EQ(r.Text("Triggers"), "Door," + std::string(300, 'L'));

  ResetTriggerNamesToLive();
  r.calls.clear();
  d.ParseMetadataSample(Record(s).data(), kMetadataSampleBytes);
  EXPECT_EQ(r.Text("Triggers"), "T2,T4");
}

TEST_F(MetadataDecoderTest, EachTextReachesEverySlotBeforeTheNext) {
  Recorder r;
  MetadataDecoder d("x", DvrLayout::kFourChannel);
  d.SetListener(4, &r.slots[4]);
  d.SetListener(0, &r.slots[0]);
  d.SetListener(2, &r.slots[2]);
  d.SetListener(7, &r.slots[1]);  // out of range: ignored
  d.ParseMetadataSample(Record(MetadataSample{}).data(), kMetadataSampleBytes);
  ASSERT_EQ(r.calls.size(), 30u);
  EXPECT_EQ(r.calls[0].listener, 0);
  EXPECT_EQ(r.calls[1].listener, 2);
  EXPECT_EQ(r.calls[2].listener, 4);
  EXPECT_EQ(r.calls[2].label, "UTC Time");
  EXPECT_EQ(r.calls[3].label, "Local Time");
  EXPECT_EQ(d.Listener(7), nullptr);

  d.SetListener(2, nullptr);
  r.calls.clear();
  d.ParseMetadataSample(Record(MetadataSample{}).data(), kMetadataSampleBytes);
  EXPECT_EQ(r.calls.size(), 20u);
}

TEST_F(MetadataDecoderTest, SamplesOfOtherLengthsAreIgnored) {
  Recorder r;
  MetadataDecoder d("x", DvrLayout::kFourChannel);
  d.SetListener(0, &r.slots[0]);
  for (std::size_t length : {std::size_t(0), std::size_t(55), std::size_t(57), std::size_t(4999)}) {
    // Each buffer starts with a valid record where it has room for one.
    std::vector<uint8_t> bytes(std::max<std::size_t>(length, kMetadataSampleBytes));
    PackMetadataSample(MetadataSample{}, bytes.data());
    d.ParseMetadataSample(bytes.data(), length);
  }
  d.ParseMetadataSample(nullptr, 56);
  EXPECT_TRUE(r.calls.empty());
  // A 5,000-byte frame reads its record at byte 24.
  MetadataSample s;
  s.satellites = 5;
  d.ParseMetadataSample(Frame(s).data(), kFrameMinimumBytes);
  EXPECT_EQ(r.Text("GPS Sat Count"), "5");
}

TEST_F(MetadataDecoderTest, TextLineLayoutIsRecognisedThenDeliveredFromTheNextFrame) {
  for (std::size_t first : {std::size_t(0), std::size_t(8)}) {
    auto context = std::make_shared<RecordingContext>();
    Recorder r;
    MetadataDecoder d("x", DvrLayout::kFourChannel, context);
    for (int i = 0; i < 5; ++i) d.SetListener(i, &r.slots[i]);
    const auto frame = TextLineFrame(first, "03/01/2011 14:05:09", "N 49\xB0 16' 27\"", "W 122\xB0 39' 18\"");
    d.ParseMetadataSample(frame.data(), frame.size());
    EXPECT_TRUE(r.calls.empty());
    EXPECT_EQ(d.Layout(), DvrLayout::kTwoChannelTextLines);
    EXPECT_EQ(context->Type(), RecordingContext::DvrType::kTwoChannel);
    EXPECT_STREQ(context->TypeText(), "2 Channel DVR");

    d.ParseMetadataSample(frame.data(), frame.size());
    ASSERT_EQ(r.calls.size(), 6u) << first;
    const char* labels[] = {"Line1", "Line2", "Line3"};
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(r.calls[i].listener, i / 3);
      EXPECT_EQ(r.calls[i].label, labels[i % 3]);
    }
    EXPECT_EQ(r.calls[0].text, "03/01/2011 14:05:09");
    EXPECT_EQ(r.calls[1].text, "N 49\xB0 16' 27\"");
    EXPECT_EQ(r.calls[2].text, "W 122\xB0 39' 18\"");
  }
}

// Frames without the "META" record: only a tail that holds text lines
// switches the recording to them; everything else leaves the binary layout
// and reports an unknown DVR type.
TEST_F(MetadataDecoderTest, OnlyATailHoldingTextLinesSwitchesTheLayout) {
  std::vector<uint8_t> zeros(6000, 0x41);
  std::fill(zeros.end() - 128, zeros.end(), 0);
  const struct {
    const char* what;
    std::vector<uint8_t> frame;
    bool textLines;
  } rows[] = {
      {"placement A, one line", TextLineFrame(0, "03/01/2011 14:05:09", "", ""), true},
      {"placement B, last line only", TextLineFrame(8, "", "", "W 122\xB0 39' 18\""), true},
      {"all-zero tail (blank frame)", zeros, false},
      {"slots end in NUL but all are empty", TextLineFrame(0, "", "", ""), false},
      {"control byte in a line", TextLineFrame(0, "03/01/2011\t14:05:09", "x", "y"), false},
      {"text without the slot NULs", std::vector<uint8_t>(6000, 0x20), false},
  };
  for (const auto& row : rows) {
    auto context = std::make_shared<RecordingContext>();
    Recorder r;
    MetadataDecoder d("x", DvrLayout::kFourChannel, context);
    d.SetListener(0, &r.slots[0]);
    d.ParseMetadataSample(row.frame.data(), row.frame.size());
    EXPECT_EQ(d.TextLines(), row.textLines) << row.what;
    EXPECT_EQ(context->Type(),
              row.textLines ? RecordingContext::DvrType::kTwoChannel : RecordingContext::DvrType::kUnknown)
        << row.what;
    // A binary record after a blank frame is still decoded as one.
    MetadataSample s;
    s.satellites = 9;
    d.ParseMetadataSample(Frame(s).data(), kFrameMinimumBytes);
    EXPECT_EQ(r.Text("GPS Sat Count"), row.textLines ? "<none>" : "9") << row.what;
  }
}

TEST_F(MetadataDecoderTest, UnrecognisedFrameSetsUnknownTypeAndDeliversNothing) {
  auto context = std::make_shared<RecordingContext>();
  Recorder r;
  MetadataDecoder d("x", DvrLayout::kFourChannel);
  d.SetRecordingContext(context);
  d.SetListener(0, &r.slots[0]);
  std::vector<uint8_t> garbage(5000, 0x55);
  d.ParseMetadataSample(garbage.data(), garbage.size());
  EXPECT_TRUE(r.calls.empty());
  EXPECT_EQ(d.Layout(), DvrLayout::kFourChannel);
  EXPECT_EQ(context->Type(), RecordingContext::DvrType::kUnknown);
  // A 56-byte non-record has no tail and never switches the variant.
  std::vector<uint8_t> zeros(56, 0);
  d.ParseMetadataSample(zeros.data(), zeros.size());
  EXPECT_EQ(d.Layout(), DvrLayout::kFourChannel);
  // Without a context the decoder reports nowhere and the last one keeps its type.
  d.SetRecordingContext(nullptr);
  const auto lines = TextLineFrame(0, "a", "b", "c");
  d.ParseMetadataSample(lines.data(), lines.size());
  EXPECT_EQ(d.Layout(), DvrLayout::kTwoChannelTextLines);
  EXPECT_EQ(context->Type(), RecordingContext::DvrType::kUnknown);
}

TEST_F(MetadataDecoderTest, TextLineSlotsWithoutTerminatorAreCut) {
  Recorder r;
  MetadataDecoder d("x",
                    DvrLayout::kTwoChannelStacked);  // a two-channel kind starts in the text-line variant
  d.SetListener(1, &r.slots[1]);
  std::vector<uint8_t> frame(5000, 'Z');  // no NUL anywhere: placement B, every slot unterminated
  d.ParseMetadataSample(frame.data(), frame.size());
  ASSERT_EQ(r.calls.size(), 3u);
  for (const Call& c : r.calls) EXPECT_EQ(c.text, std::string(30, 'Z'));
  // Metadata-stream samples are too short to hold lines.
  r.calls.clear();
  d.ParseMetadataSample(Record(MetadataSample{}).data(), kMetadataSampleBytes);
  EXPECT_TRUE(r.calls.empty());
}

TEST(TriggerNamesTest, DefaultsLiveNamesJoinAndBounds) {
  ResetTriggerNamesToDefaults();
  EXPECT_EQ(
      JoinTriggerNames(*TriggerNames()),
      "Trigger 0,Trigger 1,Trigger 2,Trigger 3,Trigger 4,Trigger 5,Trigger 6,Trigger 7,Trigger 8,Trigger "
      "9,Trigger 10");
  const auto before = TriggerNames();
  SetTriggerName(-1, "x");
  SetTriggerName(11, "x");
  SetTriggerName(0, "Brake");
  EXPECT_EQ((*before)[0], "Trigger 0");  // an earlier snapshot never changes
  EXPECT_EQ((*TriggerNames())[0], "Brake");
  ResetTriggerNamesToLive();
  EXPECT_EQ((*TriggerNames())[10], "T11");
  ResetTriggerNamesToDefaults();
}

TEST(TriggerNamesTest, ConcurrentWritersAndReadersSeeWholeSets) {
  ResetTriggerNamesToDefaults();
  std::thread writer([] {
    for (int i = 0; i < 2000; ++i) i % 2 ? ResetTriggerNamesToLive() : ResetTriggerNamesToDefaults();
  });
  for (int i = 0; i < 2000; ++i) {
    const auto names = TriggerNames();
    const bool live = (*names)[0] == "T1";
    EXPECT_EQ((*names)[10], live ? "T11" : "Trigger 10");
  }
  writer.join();
  ResetTriggerNamesToDefaults();
}

}  // namespace
