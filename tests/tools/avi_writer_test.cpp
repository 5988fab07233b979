#include "avi/avi_writer.h"

#include <gtest/gtest.h>

#include "recording_probe.h"
#include "temp_dir.h"

namespace {

using namespace avi;

StreamHeader VideoHeader() {
  StreamHeader h;
  h.type = kVids;
  h.handler = kMJPG;
  h.scale = 1000;
  h.rate = 30000;
  h.length = 999;                // must be replaced by the real count
  h.suggestedBufferSize = 4242;  // given: must be kept
  return h;
}

StreamHeader AudioHeader() {
  StreamHeader h;
  h.type = kAuds;
  h.scale = 1;
  h.rate = 8000;
  h.sampleSize = 1;
  return h;
}

MainHeader Main() {
  MainHeader m;
  m.microSecPerFrame = 33333;
  m.width = 64;
  m.height = 48;
  return m;
}

// Byte offset of the first chunk `id` at RIFF level or inside hdrl/strl lists.
std::size_t Find(const std::vector<uint8_t>& f, const char (&id)[5], std::size_t from = 0) {
  const FourCC want = MakeFourCC(id);
  for (std::size_t i = from; i + 4 <= f.size(); ++i)
    if (ReadLE32(&f[i]) == want) return i;
  return std::string::npos;
}

TEST(AviWriter, WritesSizesLengthsAndIndexThatMatchTheChunks) {
  TempDir dir;
  AviWriter w(Main());
  WriterStream raw;  // raw strh bytes, kept except for the length
  raw.strh.resize(kStreamHeaderBytes);
  SerializeStreamHeader(VideoHeader(), raw.strh.data());
  raw.strh[56 - 1] = 0x7E;  // frame rectangle bytes survive
  raw.strf = MakeBitmapInfo(64, 48, kMJPG, 24, 64 * 48 * 3);
  raw.name = "Stream 00";
  ASSERT_EQ(w.AddStream(raw), 0);
  ASSERT_EQ(w.AddStream(MakeWriterStream(AudioHeader(), MakeWaveFormat(kWaveFormatMuLaw, 1, 8000, 8, 1))), 1);
  w.AddChunkBeforeMovi(kJUNK, {'a', 'b', 'c'});
  w.SetTrailer({'T', 'A', 'I', 'L'});
  ASSERT_TRUE(w.Open(dir / "a.avi"));
  const std::vector<uint8_t> frame(101, 0xAB);  // odd: needs a pad byte
  const std::vector<uint8_t> audio(266, 0x7F);
  for (int k = 0; k < 3; ++k) {
    ASSERT_TRUE(w.WriteChunk(0, frame.data(), frame.size()));
    ASSERT_TRUE(w.WriteChunk(1, audio.data(), audio.size(), k == 0));
  }
  EXPECT_EQ(w.AddStream(raw), -1);  // too late: the header is out
  ASSERT_TRUE(w.Close()) << w.error();

  const std::vector<uint8_t> f = ReadWholeFile(dir / "a.avi");
  ASSERT_GT(f.size(), 200u);
  EXPECT_EQ(ReadLE32(&f[0]), kRIFF);
  EXPECT_EQ(ReadLE32(&f[4]) + 8u + 4u, f.size()) << "RIFF size must exclude the trailer";
  EXPECT_EQ(std::string(f.end() - 4, f.end()), "TAIL");

  const MainHeader m = ParseMainHeader(&f[Find(f, "avih") + 8]);
  EXPECT_EQ(m.totalFrames, 3u);
  EXPECT_EQ(m.streams, 2u);
  EXPECT_TRUE(m.flags & kAvifHasIndex);
  EXPECT_EQ(m.width, 64u);

  const std::size_t strh0 = Find(f, "strh"), strh1 = Find(f, "strh", strh0 + 4);
  std::vector<uint8_t> expected = raw.strh;
  WriteLE32(expected.data() + 32, 3);
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + long(strh0 + 8), f.begin() + long(strh0 + 64)), expected);
  const StreamHeader a = ParseStreamHeader(&f[strh1 + 8]);
  EXPECT_EQ(a.length, 3u * 266u) << "audio length counts samples (bytes / sample size)";
  EXPECT_EQ(a.suggestedBufferSize, 266u) << "an unset buffer size gets the largest chunk";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[Find(f, "strn") + 8])), "Stream 00");

  // hdrl size field covers exactly the list; the extra chunk follows it.
  const std::size_t hdrlEnd = 20 + ReadLE32(&f[16]);
  EXPECT_EQ(ReadLE32(&f[hdrlEnd]), kJUNK);
  EXPECT_EQ(ReadLE32(&f[hdrlEnd + 4]), 3u);

  const std::vector<ProbedChunk> chunks = MoviChunks(f);
  ASSERT_EQ(chunks.size(), 6u);
  EXPECT_EQ(chunks[0].id, "00dc");
  EXPECT_EQ(chunks[1].id, "01wb");
  EXPECT_EQ(chunks[0].data, frame);
  EXPECT_EQ(chunks[1].offset % 2, 0u);

  // idx1: one entry per chunk, offsets from the "movi" code, key-frame flags as written.
  const std::size_t movi = Find(f, "movi");
  const std::size_t idx = Find(f, "idx1", movi);
  ASSERT_NE(idx, std::string::npos);
  EXPECT_EQ(ReadLE32(&f[movi - 4]), idx - movi) << "movi LIST size";
  ASSERT_EQ(ReadLE32(&f[idx + 4]), 6u * kIdx1EntryBytes);
  for (std::size_t i = 0; i < 6; ++i) {
    const uint8_t* e = &f[idx + 8 + i * kIdx1EntryBytes];
    EXPECT_EQ(movi + ReadLE32(e + 8), chunks[i].offset);
    EXPECT_EQ(ReadLE32(e + 12), chunks[i].data.size());
    EXPECT_EQ(FourCCText(ReadLE32(e)), chunks[i].id);
    const bool key = i % 2 == 0 || i == 1;
    EXPECT_EQ(ReadLE32(e + 4), key ? kAviifKeyframe : 0u) << i;
  }
}

TEST(AviWriter, PadsTheHeaderListToAnExactSizeOrRefuses) {
  TempDir dir;
  {
    AviWriter w(Main());
    w.AddStream(MakeWriterStream(VideoHeader(), MakeBitmapInfo(64, 48, kMJPG, 24, 0), "Stream 00"));
    w.SetHeaderListBytes(380);
    ASSERT_TRUE(w.Open(dir / "a.avi"));
    ASSERT_TRUE(w.Close()) << w.error();
    const std::vector<uint8_t> f = ReadWholeFile(dir / "a.avi");
    EXPECT_EQ(ReadLE16(&f[16]), 0x017C);
    EXPECT_EQ(ReadLE32(&f[20 + 380]), kLIST) << "movi starts right after the padded list";
  }
  for (uint32_t tooSmall : {100u, 0u}) {
    AviWriter w(Main());
    w.AddStream(MakeWriterStream(VideoHeader(), MakeBitmapInfo(64, 48, kMJPG, 24, 0)));
    w.SetHeaderListBytes(tooSmall);
    ASSERT_TRUE(w.Open(dir / "b.avi"));
    const uint8_t byte = 0;
    EXPECT_FALSE(w.WriteChunk(0, &byte, 1));
    EXPECT_FALSE(w.Close());
    EXPECT_NE(w.error().find("header list"), std::string::npos) << w.error();
  }
  {
    // A gap of 1..7 bytes can't hold a JUNK chunk header.
    AviWriter probe(Main());
    probe.AddStream(MakeWriterStream(VideoHeader(), MakeBitmapInfo(64, 48, kMJPG, 24, 0)));
    ASSERT_TRUE(probe.Open(dir / "c.avi"));
    ASSERT_TRUE(probe.Close());
    AviWriter w(Main());
    w.AddStream(MakeWriterStream(VideoHeader(), MakeBitmapInfo(64, 48, kMJPG, 24, 0)));
    w.SetHeaderListBytes(probe.headerListBytes() + 4);
    ASSERT_TRUE(w.Open(dir / "d.avi"));
    EXPECT_FALSE(w.Close());
  }
}

TEST(AviWriter, ReportsEveryFailureInsteadOfSucceeding) {
  TempDir dir;
  {
    AviWriter w(Main());
    EXPECT_FALSE(w.Open(dir / "missing-folder" / "a.avi"));
    EXPECT_NE(w.error().find("cannot create"), std::string::npos);
    const uint8_t byte = 0;
    EXPECT_FALSE(w.WriteChunk(0, &byte, 1));
    EXPECT_FALSE(w.Close());
  }
  {
    // A full disk shows at the latest when the data is flushed.
    AviWriter w(Main());
    w.AddStream(MakeWriterStream(VideoHeader(), MakeBitmapInfo(64, 48, kMJPG, 24, 0)));
    ASSERT_TRUE(w.Open("/dev/full"));
    const std::vector<uint8_t> frame(200000, 1);
    bool allWritten = true;
    for (int k = 0; k < 3; ++k) allWritten = w.WriteChunk(0, frame.data(), frame.size()) && allWritten;
    EXPECT_FALSE(w.Close() && allWritten);
    EXPECT_FALSE(w.error().empty());
  }
  {
    AviWriter w(Main());
    w.AddStream(MakeWriterStream(VideoHeader(), {}));
    ASSERT_TRUE(w.Open(dir / "e.avi"));
    const uint8_t byte = 0;
    EXPECT_FALSE(w.WriteChunk(5, &byte, 1)) << "no such stream";
    EXPECT_FALSE(w.Close()) << "errors are sticky";
  }
  {
    AviWriter w(Main());
    WriterStream shortHeader;
    shortHeader.strh.resize(20);
    EXPECT_EQ(w.AddStream(shortHeader), -1);
  }
}

TEST(AviWriter, DeclaredStreamCountOverridesTheRealOne) {
  TempDir dir;
  AviWriter w(Main());
  w.AddStream(MakeWriterStream(VideoHeader(), {}));
  w.AddStream(MakeWriterStream(AudioHeader(), {}));
  w.SetDeclaredStreamCount(1);
  ASSERT_TRUE(w.Open(dir / "a.avi"));
  ASSERT_TRUE(w.Close());
  const std::vector<uint8_t> f = ReadWholeFile(dir / "a.avi");
  EXPECT_EQ(f[Find(f, "avih") + 32], 1);
}

}  // namespace
