#include "avi/avi_index.h"

#include <gtest/gtest.h>

#include <vector>

#include "avi/avi_reader.h"
#include "temp_dir.h"
#include "test_avi_builder.h"

namespace {

using namespace avi;
using namespace avitest;

// What follows the last indexed chunk of each movi list is walked; lists
// whose every chunk is indexed, and entries outside every list, add nothing.
TEST(UnindexedTails, OnePerListThatHasBytesAfterItsLastIndexedChunk) {
  struct Row {
    const char* what;
    std::vector<MoviList> movis;
    StreamChunks chunks;
    std::vector<MoviList> tails;
  };
  const std::vector<Row> rows = {
      {"no lists", {}, {{{120, 10, true}}}, {}},
      {"a fully indexed list", {{100, 140}}, {{{112, 10, true}, {130, 10, true}}}, {}},
      {"a list with nothing indexed", {{100, 200}}, {{}}, {{100, 200}}},
      {"chunks after the last entry", {{100, 200}}, {{{112, 10, true}}}, {{118, 200}}},
      {"an odd size is padded", {{100, 200}}, {{{112, 9, true}}}, {{118, 200}}},
      {"the last entry of any stream counts",
       {{100, 200}},
       {{{112, 10, true}}, {{150, 20, true}}},
       {{166, 200}}},
      {"too few bytes left for a chunk header", {{100, 129}}, {{{112, 10, true}}}, {}},
      {"entries placed in their own list",
       {{100, 200}, {300, 400}, {500, 600}},
       {{{112, 10, true}, {312, 82, true}}, {{510, 4, true}}},
       {{118, 200}, {510, 600}}},
      {"an entry before every list or after its end",
       {{100, 200}, {300, 304}},
       {{{50, 10, true}, {250, 10, true}}},
       {{100, 200}}},
  };
  for (const Row& row : rows) EXPECT_EQ(UnindexedTails(row.movis, row.chunks), row.tails) << row.what;
}

// A recording whose idx1 covers its first part, followed by many empty AVIX
// parts and one holding frames no index names: every part is a movi list of
// its own, and the frames at the end are still found, in file order.
TEST(UnindexedTails, ManyEmptyAvixPartsKeepEveryFrame) {
  TestAviSpec spec;
  spec.index = TestIndex::kIdx1Relative;
  spec.streams = {TestStream{MakeStreamHeader(kVids, 30, 1, 40), VideoFormat(64, 48), ""}};
  spec.chunks = DistinctChunks(0, 40, 20);
  std::vector<uint8_t> bytes = BuildTestAvi(spec).bytes;
  auto put32 = [&bytes](uint32_t v) {
    bytes.resize(bytes.size() + 4);
    WriteLE32(&bytes[bytes.size() - 4], v);
  };
  constexpr int kEmptyParts = 20000;
  for (int i = 0; i < kEmptyParts; ++i) {
    put32(kRIFF), put32(16), put32(kAVIX), put32(kLIST), put32(4), put32(kMovi);
  }
  const std::vector<TestChunk> last = DistinctChunks(0, 2, 30);
  uint32_t moviBytes = 4;
  for (const TestChunk& c : last) moviBytes += 8 + uint32_t(c.payload.size() + (c.payload.size() & 1));
  put32(kRIFF), put32(4 + 8 + moviBytes), put32(kAVIX);
  put32(kLIST), put32(moviBytes), put32(kMovi);
  for (const TestChunk& c : last) {
    put32(StreamChunkId(0, "dc")), put32(uint32_t(c.payload.size()));
    bytes.insert(bytes.end(), c.payload.begin(), c.payload.end());
    if (bytes.size() & 1) bytes.push_back(0);
  }
  TempDir dir;
  WriteFile(dir / "parts.avi", bytes);

  AviReader reader;
  ASSERT_TRUE(reader.Open((dir / "parts.avi").string())) << reader.Error();
  EXPECT_EQ(reader.Index(), IndexSource::kIdx1);
  ASSERT_EQ(reader.ChunkCount(0), 42u);
  std::vector<uint8_t> data;
  for (std::size_t k = 0; k < 42; ++k) {
    ASSERT_TRUE(reader.ReadChunk(0, k, data)) << k;
    EXPECT_EQ(data, k < 40 ? spec.chunks[k].payload : last[k - 40].payload) << k;
  }
}

}  // namespace
