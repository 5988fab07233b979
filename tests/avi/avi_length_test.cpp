#include "avi/avi_length.h"

#include <gtest/gtest.h>

#include "temp_dir.h"
#include "test_avi_builder.h"

namespace {

using namespace avi;
using namespace avitest;

struct Stream {
  FourCC type;
  uint32_t rate, scale, length;
};

TEST(ReadAviLength, MeasuresTheLastOfUpToFourVideoStreams) {
  const struct {
    const char* name;
    std::vector<Stream> streams;
    int64_t centis;
    int videoStreams;
  } cases[] = {
      {"one stream, 30 fps", {{kVids, 30, 1, 300}}, 1000, 1},
      {"rate/scale 30000/1000", {{kVids, 30000, 1000, 450}}, 1500, 1},
      {"29.97 fps truncates", {{kVids, 30000, 1001, 100}}, 333, 1},
      {"fractional rate is not rounded to an integer first", {{kVids, 15, 2, 75}}, 1000, 1},
      {"the last stream counts", {{kVids, 30, 1, 300}, {kVids, 30, 1, 150}}, 500, 2},
      {"audio between video streams is not counted",
       {{kVids, 30, 1, 300}, {kAuds, 8000, 1, 80000}, {kVids, 10, 1, 20}},
       200,
       2},
      {"a fifth video stream is not read",
       {{kVids, 30, 1, 30}, {kVids, 30, 1, 60}, {kVids, 30, 1, 90}, {kVids, 30, 1, 120}, {kVids, 30, 1, 999}},
       400,
       4},
      {"no video stream", {{kAuds, 8000, 1, 8000}}, 0, 0},
      {"rate 0 measures 0 instead of dividing by zero", {{kVids, 0, 1, 300}}, 0, 1},
      {"scale 0 reads the rate field alone: 30 is 0.03 fps", {{kVids, 30, 0, 300}}, 1000000, 1},
      {"implausible rate / scale reads the rate field alone", {{kVids, 30000, 1, 450}}, 1500, 1},
      {"the recorders' other header, fps x 1,000,000", {{kVids, 25000000, 1000000, 50}}, 200, 1},
      {"absurd scale reads the rate field, without an overflow",
       {{kVids, 1, 0xFFFFFFFFu, 0xFFFFFFFFu}},
       429496729500000,
       1},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestAviSpec spec;
    for (const Stream& s : c.streams) {
      spec.streams.push_back(TestStream{MakeStreamHeader(s.type, s.rate, s.scale, s.length),
                                        s.type == kVids ? VideoFormat(32, 32) : std::vector<uint8_t>(18),
                                        ""});
    }
    const auto path = dir / "len.avi";
    WriteFile(path, BuildTestAvi(spec).bytes);
    const AviLength length = ReadAviLength(path.string());
    EXPECT_EQ(length.lengthCentis, c.centis);
    EXPECT_EQ(length.videoStreams, c.videoStreams);
  }
}

TEST(ReadAviLength, UnreadableFilesMeasureZero) {
  TempDir dir;
  WriteFile(dir / "text.avi", std::vector<uint8_t>(64, 'a'));
  for (const std::string name : {"missing.avi", "text.avi"}) {
    const AviLength length = ReadAviLength((dir / name).string());
    EXPECT_EQ(length.lengthCentis, 0);
    EXPECT_EQ(length.videoStreams, 0);
  }
}

}  // namespace
