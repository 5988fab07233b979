#include "avi/avi_reader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>

#include "temp_dir.h"
#include "test_avi_builder.h"

namespace {

using namespace avi;
using namespace avitest;

// Two MJPEG video streams and one audio stream, chunks interleaved the way a
// recorder writes them: v0, v1, a, v0, v1, a, ...
TestAviSpec ThreeStreamSpec(TestIndex index, bool recLists = false) {
  TestAviSpec spec;
  spec.index = index;
  spec.recLists = recLists;
  TestStream v0{MakeStreamHeader(kVids, 30000, 1000, 5), VideoFormat(320, 240), "Camera 1"};
  TestStream v1{MakeStreamHeader(kVids, 30000, 1000, 5), VideoFormat(160, 120), ""};
  v1.strhBytes = 64;  // longer than the usual 56: its tail must survive as stored
  TestStream a{MakeStreamHeader(kAuds, 8000, 1, 4000), std::vector<uint8_t>(18, 7), "Audio 1"};
  spec.streams = {v0, v1, a};
  const auto c0 = DistinctChunks(0, 5, 101), c1 = DistinctChunks(1, 5, 60), c2 = DistinctChunks(2, 5, 800);
  for (int k = 0; k < 5; ++k) {
    spec.chunks.push_back(c0[std::size_t(k)]);
    spec.chunks.push_back(c1[std::size_t(k)]);
    spec.chunks.push_back(c2[std::size_t(k)]);
  }
  return spec;
}

std::vector<uint8_t> PayloadOf(const TestAviSpec& spec, int stream, std::size_t k) {
  for (const TestChunk& c : spec.chunks) {
    if (c.stream == stream && k-- == 0) return c.payload;
  }
  return {};
}

class AviReaderTest : public ::testing::Test {
 protected:
  std::string Write(const std::vector<uint8_t>& bytes, const std::string& name = "t.avi") {
    const auto path = dir_ / name;
    WriteFile(path, bytes);
    return path.string();
  }
  TempDir dir_;
};

struct IndexCase {
  const char* name;
  TestIndex index;
  bool recLists;
  IndexSource expected;
  bool keyframesKnown;
};

TEST_F(AviReaderTest, EveryIndexKindGivesTheSameChunks) {
  const IndexCase cases[] = {
      {"idx1 relative to movi", TestIndex::kIdx1Relative, false, IndexSource::kIdx1, true},
      {"idx1 absolute", TestIndex::kIdx1Absolute, false, IndexSource::kIdx1, true},
      {"OpenDML", TestIndex::kOpenDml, false, IndexSource::kOpenDml, true},
      {"no index", TestIndex::kNone, false, IndexSource::kScan, false},
      {"rec lists, idx1", TestIndex::kIdx1Relative, true, IndexSource::kIdx1, true},
      {"rec lists, no index", TestIndex::kNone, true, IndexSource::kScan, false},
  };
  for (const IndexCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TestAviSpec spec = ThreeStreamSpec(c.index, c.recLists);
    const BuiltAvi built = BuildTestAvi(spec);
    AviReader reader;
    ASSERT_TRUE(reader.Open(Write(built.bytes))) << reader.Error();
    EXPECT_EQ(reader.Index(), c.expected);
    ASSERT_EQ(reader.StreamCount(), 3u);
    std::vector<uint8_t> data;
    for (int s = 0; s < 3; ++s) {
      ASSERT_EQ(reader.ChunkCount(std::size_t(s)), 5u);
      for (std::size_t k = 0; k < 5; ++k) {
        ASSERT_TRUE(reader.ReadChunk(std::size_t(s), k, data));
        EXPECT_EQ(data, PayloadOf(spec, s, k)) << "stream " << s << " chunk " << k;
        ChunkEntry entry;
        ASSERT_TRUE(reader.Chunk(std::size_t(s), k, entry));
        if (c.keyframesKnown) {
          EXPECT_EQ(entry.keyframe, k % 2 == 0);
        }
      }
    }
    const std::vector<FileChunk> order = reader.ChunksInFileOrder();
    ASSERT_EQ(order.size(), spec.chunks.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      EXPECT_EQ(order[i].stream, spec.chunks[i].stream);
      EXPECT_EQ(order[i].offset, built.payloadOffsets[i]);
      EXPECT_EQ(order[i].size, spec.chunks[i].payload.size());
    }
  }
}

TEST_F(AviReaderTest, HeadersAreKeptByteForByte) {
  const TestAviSpec spec = ThreeStreamSpec(TestIndex::kIdx1Relative);
  const BuiltAvi built = BuildTestAvi(spec);
  AviReader reader;
  ASSERT_TRUE(reader.Open(Write(built.bytes))) << reader.Error();
  EXPECT_EQ(reader.FileSize(), built.bytes.size());
  EXPECT_EQ(reader.HdrlListSize(), ReadLE32(&built.bytes[built.hdrlListOffset + 4]));
  EXPECT_EQ(reader.Header().streams, 3u);
  EXPECT_EQ(reader.Header().width, 320u);
  EXPECT_EQ(reader.Header().flags, kAvifHasIndex);

  for (std::size_t s = 0; s < 3; ++s) {
    const AviStream& stream = reader.Stream(s);
    // strh payload sits 12 (LIST header) + 8 (strh header) bytes into the strl.
    const uint8_t* strh = &built.bytes[built.strlOffsets[s] + 20];
    EXPECT_EQ(stream.strh, std::vector<uint8_t>(strh, strh + spec.streams[s].strhBytes));
    EXPECT_EQ(stream.strf, spec.streams[s].strf);
    EXPECT_EQ(stream.name, spec.streams[s].name);
    EXPECT_EQ(stream.header.type, spec.streams[s].header.type);
    EXPECT_EQ(stream.header.rate, spec.streams[s].header.rate);
    EXPECT_EQ(stream.header.length, spec.streams[s].header.length);
  }

  EXPECT_EQ(reader.NthStreamOfType(kVids, 0), 0);
  EXPECT_EQ(reader.NthStreamOfType(kVids, 1), 1);
  EXPECT_EQ(reader.NthStreamOfType(kVids, 2), -1);
  EXPECT_EQ(reader.NthStreamOfType(kAuds, 0), 2);
  EXPECT_EQ(reader.NthStreamOfType(kAuds, 1), -1);
  EXPECT_EQ(reader.NthStreamOfType(kTxts, 0), -1);
  EXPECT_EQ(reader.NthStreamOfType(kVids, -1), -1);
}

TEST_F(AviReaderTest, OutOfRangeRequestsFailCleanly) {
  AviReader reader;
  ASSERT_TRUE(reader.Open(Write(BuildTestAvi(ThreeStreamSpec(TestIndex::kIdx1Relative)).bytes)));
  std::vector<uint8_t> data;
  EXPECT_FALSE(reader.ReadChunk(0, 5, data));
  EXPECT_FALSE(reader.ReadChunk(3, 0, data));
  EXPECT_EQ(reader.ChunkCount(99), 0u);
  EXPECT_EQ(reader.Stream(3).header.type, 0u);
  EXPECT_TRUE(reader.Stream(3).strf.empty());
  uint8_t small[50];
  EXPECT_EQ(reader.ReadChunk(0, 0, small, sizeof small), -1);  // chunk 0 holds 101 bytes
  std::vector<uint8_t> big(200);
  EXPECT_EQ(reader.ReadChunk(0, 0, big.data(), big.size()), 101);
}

TEST_F(AviReaderTest, HeadersOnlySkipsTheIndex) {
  AviReader reader;
  ASSERT_TRUE(reader.Open(Write(BuildTestAvi(ThreeStreamSpec(TestIndex::kOpenDml)).bytes),
                          AviReader::Load::kHeadersOnly));
  EXPECT_EQ(reader.StreamCount(), 3u);
  EXPECT_EQ(reader.ChunkCount(0), 0u);
  EXPECT_EQ(reader.Index(), IndexSource::kNone);
}

TEST_F(AviReaderTest, OpenFailsWithAReasonForFilesThatAreNotAvi) {
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string reason;
  } cases[] = {
      {"empty", {}, "the file is empty (0 bytes)"},
      {"short", {'R', 'I', 'F', 'F'}, "too short for an AVI file (4 bytes)"},
      {"WAVE",
       {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'},
       "a RIFF file of type 'WAVE', not an AVI"},
      {"unprintable type", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 1, 2, 3, 4}, "a RIFF file, but not an AVI"},
      {"text", std::vector<uint8_t>(100, 'x'), "not an AVI file (no RIFF header)"},
      {"RIFF AVI with nothing in it",
       {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '},
       "no header list (LIST hdrl)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AviReader reader;
    EXPECT_FALSE(reader.Open(Write(c.bytes)));
    EXPECT_EQ(reader.Error(), c.reason);
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.StreamCount(), 0u);
  }
}

// Cutting the file must never crash nor return bytes from beyond the cut;
// once the headers are whole the chunks that survive are readable. Every
// length inside the headers is tried, then lengths around every chunk start.
std::vector<std::size_t> CutLengths(const BuiltAvi& built) {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= built.moviListOffset + 16; ++n) lengths.push_back(n);
  for (std::size_t b : built.boundaries) {
    for (std::size_t n : {b - 1, b, b + 1, b + 4, b + 8, b + 9, b + 12, b + 20}) {
      if (b > 0 && n <= built.bytes.size()) lengths.push_back(n);
    }
  }
  lengths.push_back(built.bytes.size());
  // Longest first, so one file is written and then only shortened.
  std::sort(lengths.rbegin(), lengths.rend());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
  return lengths;
}

TEST_F(AviReaderTest, TruncatedAtEveryHeaderBoundaryIsSafe) {
  for (TestIndex index : {TestIndex::kIdx1Relative, TestIndex::kOpenDml, TestIndex::kNone}) {
    const TestAviSpec spec = ThreeStreamSpec(index);
    const BuiltAvi built = BuildTestAvi(spec);
    const std::string path = Write(built.bytes);
    for (std::size_t length : CutLengths(built)) {
      SCOPED_TRACE(length);
      std::filesystem::resize_file(path, length);
      AviReader reader;
      const bool opened = reader.Open(path);
      if (length < built.moviListOffset + 12) {
        // Headers incomplete (the movi list is not even started).
        EXPECT_FALSE(opened);
        EXPECT_FALSE(reader.Error().empty());
        continue;
      }
      ASSERT_TRUE(opened) << reader.Error();
      std::vector<uint8_t> data;
      for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
        for (std::size_t k = 0; k < reader.ChunkCount(s); ++k) {
          ChunkEntry entry;
          ASSERT_TRUE(reader.Chunk(s, k, entry));
          EXPECT_LE(entry.offset + entry.size, length);
          ASSERT_TRUE(reader.ReadChunk(s, k, data));
          EXPECT_EQ(data, PayloadOf(spec, int(s), k));
        }
      }
      if (length == built.bytes.size()) {
        EXPECT_EQ(reader.ChunkCount(0), 5u);
      }
    }
  }
}

TEST_F(AviReaderTest, ScanRecoversChunksOfACutRecording) {
  const TestAviSpec spec = ThreeStreamSpec(TestIndex::kIdx1Relative);
  const BuiltAvi built = BuildTestAvi(spec);
  // Cut in the middle of the 8th chunk: idx1 is gone, 7 whole chunks remain.
  const std::size_t cut = built.payloadOffsets[7] + 10;
  AviReader reader;
  ASSERT_TRUE(reader.Open(Write({built.bytes.begin(), built.bytes.begin() + std::ptrdiff_t(cut)})));
  EXPECT_EQ(reader.Index(), IndexSource::kScan);
  EXPECT_EQ(reader.ChunkCount(0), 3u);
  EXPECT_EQ(reader.ChunkCount(1), 2u);  // its third chunk is the cut one
  EXPECT_EQ(reader.ChunkCount(2), 2u);
}

// Header and index fields that lie about sizes and counts.
TEST_F(AviReaderTest, LyingSizesAndCountsAreBounded) {
  const struct {
    const char* name;
    TestIndex index;
    // Damage to apply to a built file; returns nothing, edits bytes.
    void (*damage)(BuiltAvi&);
    bool opens;
    IndexSource source;
    std::size_t chunksOfStream0;
  } cases[] = {
      {"RIFF size 0", TestIndex::kIdx1Relative, [](BuiltAvi& b) { WriteLE32(&b.bytes[4], 0); }, true,
       IndexSource::kIdx1, 5},
      {"RIFF size huge", TestIndex::kIdx1Relative, [](BuiltAvi& b) { WriteLE32(&b.bytes[4], 0xFFFFFFF0u); },
       true, IndexSource::kIdx1, 5},
      {"hdrl size huge", TestIndex::kIdx1Relative,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.hdrlListOffset + 4], 0xFFFFFFF0u); }, false, IndexSource::kNone,
       0},
      {"strh size huge", TestIndex::kIdx1Relative,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.strlOffsets[1] + 16], 0x7FFFFFFFu); }, false,
       IndexSource::kNone, 0},
      {"strl without strh", TestIndex::kIdx1Relative,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.strlOffsets[0] + 12], MakeFourCC("JUNK")); }, false,
       IndexSource::kNone, 0},
      {"strl list of 3 bytes", TestIndex::kIdx1Relative,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.strlOffsets[1] + 4], 3); }, false, IndexSource::kNone, 0},
      {"idx1 of 0 bytes: the chunks are walked", TestIndex::kIdx1Relative,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.idx1Offset + 4], 0); }, true, IndexSource::kScan, 5},
      {"movi size 0 (unfinished)", TestIndex::kNone,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.moviListOffset + 4], 0); }, true, IndexSource::kScan, 5},
      {"idx1 size huge", TestIndex::kIdx1Relative,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.idx1Offset + 4], 0xFFFFFFF0u); }, true, IndexSource::kIdx1, 5},
      {"idx1 entry offset past the file", TestIndex::kIdx1Relative,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.idx1Offset + 8 + 3 * 16 + 8], 0xFFFFFF00u); }, true,
       IndexSource::kIdx1, 4},
      {"idx1 entry size past the file", TestIndex::kIdx1Relative,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.idx1Offset + 8 + 3 * 16 + 12], 0xFFFFFF00u); }, true,
       IndexSource::kIdx1, 4},
      {"idx1 cut short: the chunks after it are walked", TestIndex::kIdx1Relative,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.idx1Offset + 4], 6 * 16); }, true, IndexSource::kIdx1, 5},
      {"idx1 pointing nowhere", TestIndex::kIdx1Relative,
       [](BuiltAvi& b) {
         for (std::size_t e = 0; e < 15; ++e) WriteLE32(&b.bytes[b.idx1Offset + 8 + e * 16 + 8], 3);
       },
       true, IndexSource::kScan, 5},
      {"movi chunk size past the file, no index", TestIndex::kNone,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.payloadOffsets[6] - 4], 0x7FFFFFFFu); }, true,
       IndexSource::kScan, 2},
      {"ix entries in use huge", TestIndex::kOpenDml,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.ixOffsets[0] + 12], 0xFFFFFFFFu); }, true,
       IndexSource::kOpenDml, 5},
      {"ix entry past the file", TestIndex::kOpenDml,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.ixOffsets[0] + 32 + 8], 0xFFFFFF00u); }, true,
       IndexSource::kOpenDml, 4},
      {"super index entries in use huge", TestIndex::kOpenDml,
       [](BuiltAvi& b) { WriteLE32(&b.bytes[b.indxOffsets[0] + 12], 0xFFFFFFFFu); }, true,
       IndexSource::kOpenDml, 5},
      {"super index pointing past the file", TestIndex::kOpenDml,
       [](BuiltAvi& b) { WriteLE64(&b.bytes[b.indxOffsets[1] + 32], uint64_t(1) << 40); }, true,
       IndexSource::kIdx1, 5},
      {"ix chunk that is not an index", TestIndex::kOpenDml,
       [](BuiltAvi& b) { b.bytes[b.ixOffsets[2] + 11] = 0x00; }, true, IndexSource::kIdx1, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TestAviSpec spec = ThreeStreamSpec(c.index);
    BuiltAvi built = BuildTestAvi(spec);
    c.damage(built);
    AviReader reader;
    ASSERT_EQ(reader.Open(Write(built.bytes)), c.opens) << reader.Error();
    if (!c.opens) {
      EXPECT_FALSE(reader.Error().empty());
      continue;
    }
    EXPECT_EQ(reader.Index(), c.source);
    EXPECT_EQ(reader.ChunkCount(0), c.chunksOfStream0);
    std::vector<uint8_t> data;
    for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
      for (std::size_t k = 0; k < reader.ChunkCount(s); ++k) {
        ASSERT_TRUE(reader.ReadChunk(s, k, data));
        EXPECT_LE(data.size(), 1000u);
      }
    }
  }
}

// A recorder that reserves space ahead of its writing leaves zeros at the
// end of an unfinished movi list; the walk stops there instead of stepping
// through them eight bytes at a time.
TEST_F(AviReaderTest, ScanStopsAtAZeroFilledTail) {
  BuiltAvi built = BuildTestAvi(ThreeStreamSpec(TestIndex::kNone));
  built.bytes.resize(built.bytes.size() + (1 << 20), 0);
  WriteLE32(&built.bytes[4], uint32_t(built.bytes.size() - 8));
  WriteLE32(&built.bytes[built.moviListOffset + 4], uint32_t(built.bytes.size() - built.moviListOffset - 8));
  AviReader reader;
  ASSERT_TRUE(reader.Open(Write(built.bytes))) << reader.Error();
  EXPECT_EQ(reader.Index(), IndexSource::kScan);
  EXPECT_EQ(reader.ChunkCount(0), 5u);
  EXPECT_EQ(reader.ChunkCount(2), 5u);
}

// A super index naming the same standard index thousands of times would
// multiply its entries without bound; the reader gives up on it instead.
TEST_F(AviReaderTest, RepeatedStandardIndexesAreNotMultiplied) {
  TestAviSpec spec = ThreeStreamSpec(TestIndex::kOpenDml);
  spec.superIndexCopies = 2000;
  AviReader reader;
  ASSERT_TRUE(reader.Open(Write(BuildTestAvi(spec).bytes))) << reader.Error();
  EXPECT_EQ(reader.Index(), IndexSource::kIdx1);
  EXPECT_EQ(reader.ChunkCount(0), 5u);

  // One duplicate would read every frame twice: no index either.
  spec.superIndexCopies = 2;
  ASSERT_TRUE(reader.Open(Write(BuildTestAvi(spec).bytes))) << reader.Error();
  EXPECT_EQ(reader.Index(), IndexSource::kIdx1);
  EXPECT_EQ(reader.ChunkCount(0), 5u);
}

std::atomic<int64_t> gReads{0};
ssize_t CountingPread(int fd, void* buffer, std::size_t count, off_t offset) {
  ++gReads;
  return ::pread(fd, buffer, count, offset);
}

// Nearly a million super index entries (as many as a header list may hold)
// naming one standard index: the work is bounded by the file, not by the
// entries' count, in every mode that opens the file.
TEST_F(AviReaderTest, AHugeSuperIndexOverOneStandardIndexCostsAFewReads) {
  TestAviSpec spec = ThreeStreamSpec(TestIndex::kOpenDml);
  spec.superIndexCopies = 300000;  // per stream: 14 MB of super index
  const std::string path = Write(BuildTestAvi(spec).bytes);
  gReads = 0;
  SetPreadCallForTesting(&CountingPread);
  AviReader reader;
  const bool opened = reader.Open(path);
  SetPreadCallForTesting(nullptr);
  ASSERT_TRUE(opened) << reader.Error();
  EXPECT_LT(gReads.load(), 100);
  EXPECT_EQ(reader.Index(), IndexSource::kIdx1);
  for (std::size_t s = 0; s < 3; ++s) EXPECT_EQ(reader.ChunkCount(s), 5u);
}

// Random bytes behind a valid-looking start, and random bytes written over a
// valid file: the reader may fail but must stay inside the file.
TEST_F(AviReaderTest, GarbageNeverEscapesTheFile) {
  const BuiltAvi good = BuildTestAvi(ThreeStreamSpec(TestIndex::kOpenDml));
  std::mt19937 rng(12345);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> bytes = good.bytes;
    if (round % 3 == 0) {
      for (std::size_t i = 12; i < bytes.size(); ++i) bytes[i] = uint8_t(rng());
    } else {
      for (int n = 0; n < 8; ++n) bytes[12 + rng() % (bytes.size() - 12)] = uint8_t(rng());
    }
    AviReader reader;
    if (!reader.Open(Write(bytes))) {
      EXPECT_FALSE(reader.Error().empty());
      continue;
    }
    for (const FileChunk& c : reader.ChunksInFileOrder()) EXPECT_LE(c.offset + c.size, bytes.size());
  }
}

// An OpenDML file larger than 4 GB made sparse: a RIFF AVI with the headers,
// then two AVIX parts whose padding costs no disk space, the second holding
// frames and their standard index past the 4 GB mark.
TEST_F(AviReaderTest, ReadsFramesBeyondFourGigabytes) {
  TestAviSpec spec;
  spec.index = TestIndex::kOpenDml;
  spec.streams = {TestStream{MakeStreamHeader(kVids, 30, 1, 4), VideoFormat(64, 48), ""}};
  spec.chunks = DistinctChunks(0, 1, 33);
  BuiltAvi built = BuildTestAvi(spec);

  // Part 1: RIFF AVIX padded with one JUNK chunk just under 4 GB.
  const uint64_t part1 = built.bytes.size();
  const uint32_t junk1 = 0xFFFFF000u;
  // Part 2: RIFF AVIX with JUNK 1 GB, then LIST movi holding 3 frames and ix00.
  const uint64_t part2 = part1 + 12 + 8 + junk1;
  const uint32_t junk2 = 0x40000000u;
  const uint64_t movi2 = part2 + 12 + 8 + junk2;
  std::vector<uint8_t> tail;
  auto put32 = [&tail](uint32_t v) {
    tail.resize(tail.size() + 4);
    WriteLE32(&tail[tail.size() - 4], v);
  };
  put32(kLIST);
  put32(0);  // patched
  put32(kMovi);
  const std::vector<TestChunk> frames = DistinctChunks(0, 3, 40);
  std::vector<uint64_t> payloadAt;
  for (const TestChunk& f : frames) {
    put32(StreamChunkId(0, "dc"));
    put32(uint32_t(f.payload.size()));
    payloadAt.push_back(movi2 + tail.size());
    tail.insert(tail.end(), f.payload.begin(), f.payload.end());
    if (tail.size() & 1) tail.push_back(0);
  }
  const uint64_t ix = movi2 + tail.size();
  put32(MakeFourCC("ix00"));
  put32(24 + 8 * 3);
  tail.insert(tail.end(), {2, 0, 0, 1});
  put32(3);
  put32(StreamChunkId(0, "dc"));
  put32(uint32_t(movi2));
  put32(uint32_t(movi2 >> 32));
  put32(0);
  for (std::size_t i = 0; i < 3; ++i) {
    put32(uint32_t(payloadAt[i] - movi2));
    put32(uint32_t(frames[i].payload.size()));
  }
  WriteLE32(&tail[4], uint32_t(tail.size() - 8));

  // The super index gets a second entry naming the far ix00.
  std::vector<uint8_t>& b = built.bytes;
  const std::size_t indx = built.indxOffsets[0];
  // Its only entry now names the far ix00, so the first RIFF's frame is in
  // no OpenDML index, as after a writer that lost track: that movi is walked.
  WriteLE64(&b[indx + 32], ix);
  WriteLE32(&b[indx + 40], 24 + 8 * 3 + 8);

  const auto path = dir_ / "big.avi";
  WriteFile(path, b);
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    auto riffHeader = [&f](uint64_t at, uint32_t size) {
      uint8_t h[20];
      WriteLE32(h, kRIFF);
      WriteLE32(h + 4, size);
      WriteLE32(h + 8, kAVIX);
      f.seekp(std::streamoff(at));
      f.write(reinterpret_cast<const char*>(h), 12);
    };
    auto junkHeader = [&f](uint64_t at, uint32_t size) {
      uint8_t h[8];
      WriteLE32(h, kJUNK);
      WriteLE32(h + 4, size);
      f.seekp(std::streamoff(at));
      f.write(reinterpret_cast<const char*>(h), 8);
    };
    riffHeader(part1, 4 + 8 + junk1);
    junkHeader(part1 + 12, junk1);
    riffHeader(part2, uint32_t(4 + 8 + junk2 + tail.size()));
    junkHeader(part2 + 12, junk2);
    f.seekp(std::streamoff(movi2));
    f.write(reinterpret_cast<const char*>(tail.data()), std::streamsize(tail.size()));
    ASSERT_TRUE(f.good());
  }
  ASSERT_GT(payloadAt[0], uint64_t(4) << 30);  // past what 32-bit offsets reach

  for (bool damagedIndex : {false, true}) {
    SCOPED_TRACE(damagedIndex ? "scan" : "OpenDML");
    if (damagedIndex) {
      // Break the super index and idx1 alike: only walking the lists is left.
      std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
      uint8_t zero[8] = {};
      f.seekp(std::streamoff(indx + 32));
      f.write(reinterpret_cast<const char*>(zero), 8);
      f.seekp(std::streamoff(built.idx1Offset));
      f.write(reinterpret_cast<const char*>(zero), 4);
    }
    AviReader reader;
    ASSERT_TRUE(reader.Open(path.string())) << reader.Error();
    EXPECT_EQ(reader.Index(), damagedIndex ? IndexSource::kScan : IndexSource::kOpenDml);
    const std::size_t first = 1;  // the first RIFF's frame, found by walking its movi
    ASSERT_EQ(reader.ChunkCount(0), first + 3);
    std::vector<uint8_t> data;
    ASSERT_TRUE(reader.ReadChunk(0, 0, data));
    EXPECT_EQ(data, spec.chunks[0].payload);
    for (std::size_t k = 0; k < 3; ++k) {
      ChunkEntry entry;
      ASSERT_TRUE(reader.Chunk(0, first + k, entry));
      EXPECT_EQ(entry.offset, payloadAt[k]);
      ASSERT_TRUE(reader.ReadChunk(0, first + k, data));
      EXPECT_EQ(data, frames[k].payload);
    }
  }
}

}  // namespace
