// The wire format of a live stream: the request, unit addresses, and the
// chunk handler over byte streams that arrive whole, split, damaged or
// mid-chunk.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "live/chunk_handler.h"
#include "live/stream_protocol.h"

namespace {

std::string Chunk(int stream, const char* kind, std::size_t length, uint8_t fill = 0x55) {
  std::vector<uint8_t> payload(length, fill);
  return MakeChunk(stream, kind, payload.data(), payload.size());
}

// Writes the header of a chunk with any length field, payload not included.
std::string RawHeader(const char* id, int32_t length) {
  std::string h(id, 4);
  for (int i = 0; i < 4; ++i) h.push_back(char(uint32_t(length) >> (8 * i)));
  return h;
}

class Recorder : public ChunkSink {
 public:
  void OnVideoChunk(int channel, const uint8_t*, std::size_t length) override { Add("dc", channel, length); }
  void OnAudioChunk(int channel, const uint8_t*, std::size_t length) override { Add("wb", channel, length); }
  void OnTextChunk(const uint8_t*, std::size_t length) override { Add("tx", 0, length); }
  std::vector<std::string> events;

 private:
  void Add(const char* kind, int channel, std::size_t length) {
    events.push_back(std::string(kind) + std::to_string(channel + 1) + ":" + std::to_string(length));
  }
};

// Feeds `stream` in pieces of `piece` bytes (0: all at once), handling after
// each, as the receive thread does after every receive.
Recorder Feed(ChunkHandler& handler, const std::string& stream, std::size_t piece = 0) {
  Recorder r;
  const auto* p = reinterpret_cast<const uint8_t*>(stream.data());
  std::size_t at = 0;
  do {
    const std::size_t n = piece ? std::min(piece, stream.size() - at) : stream.size();
    EXPECT_EQ(handler.Append(p + at, n), n);
    at += n;
    handler.Handle(r);
  } while (at < stream.size());
  return r;
}

const std::string kTail = Chunk(0, "dc", 2000);  // keeps the chunks before it handleable

TEST(StreamRequest, BytesNameTheMask) {
  const struct {
    uint32_t mask;
    StreamRequest bytes;
  } cases[] = {
      {2, {0x53, 0x54, 0x52, 0x4D, 0, 0, 0, 0, 0x02, 0, 0, 0}},
      {1, {'S', 'T', 'R', 'M', 0, 0, 0, 0, 1, 0, 0, 0}},
      {15, {'S', 'T', 'R', 'M', 0, 0, 0, 0, 15, 0, 0, 0}},
      {0x01020304, {'S', 'T', 'R', 'M', 0, 0, 0, 0, 4, 3, 2, 1}},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeStreamRequest(c.mask), c.bytes) << c.mask;
}

TEST(DvrAddress, HostAndOptionalPort) {
  const struct {
    const char* text;
    bool ok;
    const char* host;
    uint16_t port;
  } cases[] = {
      {"10.0.0.7", true, "10.0.0.7", 1234},
      {"127.0.0.1:40000", true, "127.0.0.1", 40000},
      {"[::1]:5000", true, "::1", 5000},
      {"[fe80::2]", true, "fe80::2", 1234},
      {"::1", true, "::1", 1234},
      {"", false, "", 0},
      {":80", false, "", 0},
      {"10.0.0.7:", false, "", 0},
      {"10.0.0.7:0", false, "", 0},
      {"10.0.0.7:65536", false, "", 0},
      {"10.0.0.7:12a", false, "", 0},
      {"[::1", false, "", 0},
      {"[::1]x", false, "", 0},
      {"[]:5", false, "", 0},
  };
  for (const auto& c : cases) {
    const auto a = ParseDvrAddress(c.text);
    ASSERT_EQ(a.has_value(), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(a->host, c.host) << c.text;
    EXPECT_EQ(a->port, c.port) << c.text;
  }
}

TEST(ChunkHandler, StreamsWholeSplitAndDamaged) {
  const struct {
    const char* name;
    std::string stream;
    std::vector<std::string> events;
    std::size_t fillAfter;
    uint64_t framingErrors;
    // Leading garbage split into small receives can read as a bad length
    // before 17 bytes are there to resynchronise on, so such streams are
    // only compared whole.
    bool wholeOnly = false;
  } cases[] = {
      {"every kind and channel from the id",
       Chunk(2, "dc", 600) + Chunk(3, "wb", 700) + Chunk(5, "tx", 56) + Chunk(7, "dc", 10) +
           Chunk(1, "wb", 1) + Chunk(6, "dc", 0) + kTail,
       {"dc2:600", "wb2:700", "tx1:56", "dc4:10", "wb1:1", "dc4:0"},
       kTail.size(),
       0},
      {"a stream digit outside 0..7 is channel 1",
       MakeChunk(0, "dc", nullptr, 0).replace(1, 1, "9") + kTail,
       {"dc1:0"},
       kTail.size(),
       0},
      {"starting in the middle of a chunk",
       std::string(300, 'Z') + Chunk(4, "dc", 600) + kTail,
       {"dc3:600"},
       kTail.size(),
       0,
       true},
      {"garbage holding zeros and near-ids",
       "00d0c0w0b0tx" + Chunk(0, "tx", 56) + kTail,
       {"tx1:56"},
       kTail.size(),
       0,
       true},
      {"a length of 100,001 drops everything",
       Chunk(0, "dc", 600) + RawHeader("00dc", 100001) + kTail,
       {"dc1:600"},
       0,
       1},
      {"a negative length drops everything", RawHeader("01wb", -1) + kTail, {}, 0, 1},
      {"a length of 100,000 is valid", Chunk(0, "dc", 100000) + kTail, {"dc1:100000"}, kTail.size(), 0},
      {"a chunk followed by no header drops the good chunk too",
       Chunk(0, "dc", 600) + std::string(2000, 'q'),
       {},
       0,
       1},
      {"letters of the following header checked one by one",
       Chunk(0, "dc", 600) + RawHeader("01db", 0) + kTail,
       {"dc1:600"},
       kTail.size(),
       0},
      {"a lone 600-byte chunk waits for the next id", Chunk(0, "wb", 600), {}, 608, 0},
      {"three bytes of the next id are not enough",
       Chunk(0, "wb", 600) + Chunk(0, "wb", 2000).substr(0, 3),
       {},
       611,
       0},
      {"the next id is", Chunk(0, "wb", 600) + Chunk(0, "wb", 2000).substr(0, 4), {"wb1:600"}, 4, 0},
      {"a frame followed by a small chunk is handled at once",
       Chunk(0, "dc", 40000) + Chunk(1, "wb", 267),
       {"dc1:40000"},
       275,
       0},
      {"an unknown kind is skipped by resynchronisation",
       "00dx" + std::string(4, '\0') + kTail,
       {},
       kTail.size(),
       0,
       true},
      {"eight bytes or fewer are kept as they are", "abcdefgh", {}, 8, 0},
      {"garbage keeps its last 16 bytes", std::string(5000, '\0'), {}, 16, 0},
      {"garbage is never read as a length", std::string(5000, 'g'), {}, 16, 0},
  };
  for (const auto& c : cases) {
    for (std::size_t piece : {std::size_t(0), std::size_t(1), std::size_t(7), std::size_t(8000)}) {
      ChunkHandler handler(1 << 20);
      const Recorder r = Feed(handler, c.stream, piece);
      const std::string where = std::string(c.name) + ", pieces of " + std::to_string(piece);
      if (piece != 0 && (c.framingErrors != 0 || c.wholeOnly))
        continue;  // what a split stream drops depends on the split
      EXPECT_EQ(r.events, c.events) << where;
      EXPECT_EQ(handler.Fill(), c.fillAfter) << where;
      EXPECT_EQ(handler.FramingErrors(), c.framingErrors) << where;
    }
  }
}

TEST(ChunkHandler, FullBufferTakesNoMoreAndRecoversAfterAFramingError) {
  ChunkHandler handler(4096);
  const std::string junk(5000, '\0');
  Recorder r;
  EXPECT_EQ(handler.Append(reinterpret_cast<const uint8_t*>(junk.data()), junk.size()), 4096u);
  EXPECT_EQ(handler.ReceiveRoom(), 0u);
  handler.Handle(r);
  EXPECT_EQ(handler.Fill(), 16u);
  EXPECT_EQ(handler.ReceiveRoom(), std::min<std::size_t>(ChunkHandler::kMaxReceive, 4096 - 16));

  const std::string good = RawHeader("00dc", 200000) + Chunk(0, "dc", 100) + Chunk(2, "dc", 100) + kTail;
  handler.Clear();
  r = Feed(handler, good);
  EXPECT_TRUE(r.events.empty());
  r = Feed(handler, Chunk(0, "dc", 100) + Chunk(2, "dc", 100) + kTail);
  EXPECT_EQ(r.events, (std::vector<std::string>{"dc1:100", "dc2:100"}));
}

}  // namespace
