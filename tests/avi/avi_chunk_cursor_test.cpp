#include "avi/avi_chunk_cursor.h"

#include <gtest/gtest.h>

#include "temp_dir.h"
#include "test_avi_builder.h"

namespace {

using namespace avi;
using namespace avitest;

// The window must never hand out bytes of a neighbouring chunk or a stale
// window, whatever the order of requests and however the chunks straddle
// window edges.
TEST(AviChunkCursor, GivesTheReadersBytesInEveryAccessOrder) {
  TestAviSpec spec;
  spec.streams = {TestStream{MakeStreamHeader(kVids, 30, 1, 40), VideoFormat(32, 32), ""},
                  TestStream{MakeStreamHeader(kVids, 30, 1, 40), VideoFormat(32, 32), ""}};
  const auto small = DistinctChunks(0, 40, 700), large = DistinctChunks(1, 40, 3000);
  for (std::size_t k = 0; k < 40; ++k) {
    spec.chunks.push_back(small[k]);
    spec.chunks.push_back(large[k]);
  }
  TempDir dir;
  WriteFile(dir / "c.avi", BuildTestAvi(spec).bytes);
  AviReader reader;
  ASSERT_TRUE(reader.Open((dir / "c.avi").string())) << reader.Error();

  std::vector<std::pair<std::size_t, std::size_t>> fileOrder, streamOrder, reverse;
  for (std::size_t k = 0; k < 40; ++k) {
    for (std::size_t s = 0; s < 2; ++s) fileOrder.emplace_back(s, k);
  }
  for (std::size_t s = 0; s < 2; ++s) {
    for (std::size_t k = 0; k < 40; ++k) streamOrder.emplace_back(s, k);
  }
  reverse.assign(fileOrder.rbegin(), fileOrder.rend());

  // 4 KiB: stream 1's chunks (3000+ bytes) take the direct path (or, with a
  // sink, straddle nearly every window); 64 KiB: all windowed. With a sink,
  // whatever the order, the sink gets the whole file once, in order.
  const std::vector<uint8_t> file = BuildTestAvi(spec).bytes;
  for (std::size_t window : {std::size_t(4096), std::size_t(65536)}) {
    for (const auto* order : {&fileOrder, &streamOrder, &reverse}) {
      for (const bool sinking : {false, true}) {
        std::vector<uint8_t> passed;
        AviChunkCursor cursor =
            sinking ? AviChunkCursor(reader, window,
                                     [&](std::span<const uint8_t> bytes) {
                                       passed.insert(passed.end(), bytes.begin(), bytes.end());
                                     })
                    : AviChunkCursor(reader, window);
        std::vector<uint8_t> expected, got;
        for (const auto& [s, k] : *order) {
          ASSERT_TRUE(reader.ReadChunk(s, k, expected));
          ASSERT_TRUE(cursor.ReadChunk(s, k, got));
          ASSERT_EQ(got, expected) << "window " << window << " stream " << s << " chunk " << k;
        }
        EXPECT_EQ(cursor.FinishSink(), sinking);
        EXPECT_TRUE(passed == (sinking ? file : std::vector<uint8_t>())) << "window " << window;
      }
    }
  }
  AviChunkCursor cursor(reader);
  std::vector<uint8_t> out;
  EXPECT_FALSE(cursor.ReadChunk(0, 40, out));
  EXPECT_FALSE(cursor.ReadChunk(2, 0, out));
  bool ok = true;
  EXPECT_TRUE(cursor.ViewChunk(5, 0, ok).empty());
  EXPECT_FALSE(ok);
}

// A file cut short after it was opened: the sink can't have had all of it.
TEST(AviChunkCursor, ASinkThatMissedBytesIsToldSo) {
  TestAviSpec spec;
  spec.streams = {TestStream{MakeStreamHeader(kVids, 30, 1, 40), VideoFormat(32, 32), ""}};
  spec.chunks = DistinctChunks(0, 40, 700);
  TempDir dir;
  const std::vector<uint8_t> bytes = BuildTestAvi(spec).bytes;
  WriteFile(dir / "c.avi", bytes);
  AviReader reader;
  ASSERT_TRUE(reader.Open((dir / "c.avi").string())) << reader.Error();
  std::filesystem::resize_file(dir / "c.avi", bytes.size() / 2);
  std::size_t passed = 0;
  AviChunkCursor cursor(reader, 4096, [&](std::span<const uint8_t> b) { passed += b.size(); });
  std::vector<uint8_t> out;
  EXPECT_TRUE(cursor.ReadChunk(0, 0, out));
  EXPECT_FALSE(cursor.ReadChunk(0, 39, out));
  EXPECT_FALSE(cursor.FinishSink());
  EXPECT_LT(passed, bytes.size());
}

}  // namespace
