#include "test_avi_builder.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace avitest {

using namespace avi;

namespace {

class ByteWriter {
 public:
  std::vector<uint8_t>& bytes() { return b_; }
  std::size_t pos() const { return b_.size(); }
  void U16(uint16_t v) {
    const std::size_t at = grow(2);
    WriteLE16(&b_[at], v);
  }
  void U32(uint32_t v) {
    const std::size_t at = grow(4);
    WriteLE32(&b_[at], v);
  }
  void U64(uint64_t v) {
    const std::size_t at = grow(8);
    WriteLE64(&b_[at], v);
  }
  void Bytes(const uint8_t* p, std::size_t n) { b_.insert(b_.end(), p, p + n); }
  // Starts a chunk (or a LIST/RIFF with `listType`); returns what EndChunk needs.
  std::size_t Begin(FourCC id, FourCC listType = 0) {
    const std::size_t start = pos();
    U32(id);
    U32(0);
    if (listType) U32(listType);
    return start;
  }
  void End(std::size_t start) {
    WriteLE32(&b_[start + 4], uint32_t(pos() - start - 8));
    if (pos() & 1) b_.push_back(0);
  }
  void Chunk(FourCC id, const std::vector<uint8_t>& payload) {
    const std::size_t start = Begin(id);
    Bytes(payload.data(), payload.size());
    End(start);
  }

 private:
  std::size_t grow(std::size_t n) {
    b_.resize(b_.size() + n);
    return b_.size() - n;
  }
  std::vector<uint8_t> b_;
};

}  // namespace

StreamHeader MakeStreamHeader(FourCC type, uint32_t rate, uint32_t scale, uint32_t length) {
  StreamHeader h;
  h.type = type;
  h.handler = type == kVids ? kMJPG : 0;
  h.rate = rate;
  h.scale = scale;
  h.length = length;
  h.quality = 0xFFFFFFFFu;
  return h;
}

std::vector<uint8_t> VideoFormat(int width, int height) {
  std::vector<uint8_t> f(kBitmapInfoBytes, 0);
  WriteLE32(&f[0], kBitmapInfoBytes);
  WriteLE32(&f[4], uint32_t(width));
  WriteLE32(&f[8], uint32_t(height));
  WriteLE16(&f[12], 1);
  WriteLE16(&f[14], 24);
  WriteLE32(&f[16], kMJPG);
  return f;
}

std::vector<TestChunk> DistinctChunks(int stream, int count, std::size_t baseSize) {
  std::vector<TestChunk> chunks;
  for (int k = 0; k < count; ++k) {
    TestChunk c;
    c.stream = stream;
    c.payload.resize(baseSize + std::size_t(k % 3));  // odd sizes exercise the pad byte
    for (std::size_t i = 0; i < c.payload.size(); ++i) c.payload[i] = uint8_t(stream * 31 + k * 7 + i);
    c.keyframe = k % 2 == 0;
    chunks.push_back(std::move(c));
  }
  return chunks;
}

BuiltAvi BuildTestAvi(const TestAviSpec& spec) {
  BuiltAvi out;
  ByteWriter w;
  const std::size_t riff = w.Begin(kRIFF, kAVI);

  out.hdrlListOffset = w.pos();
  const std::size_t hdrl = w.Begin(kLIST, kHdrl);
  {
    MainHeader m;
    m.streams = uint32_t(spec.streams.size());
    m.flags = spec.index == TestIndex::kNone ? 0 : kAvifHasIndex;
    m.width = 320;
    m.height = 240;
    std::vector<uint8_t> avih(kMainHeaderBytes);
    SerializeMainHeader(m, avih.data());
    w.Chunk(kAvih, avih);
  }
  std::vector<std::size_t> superIndexAt;
  for (const TestStream& s : spec.streams) {
    out.strlOffsets.push_back(w.pos());
    const std::size_t strl = w.Begin(kLIST, kStrl);
    std::vector<uint8_t> strh(std::max(s.strhBytes, kStreamHeaderBytes), 0xA5);
    SerializeStreamHeader(s.header, strh.data());
    strh.resize(s.strhBytes);
    w.Chunk(kStrh, strh);
    w.Chunk(kStrf, s.strf);
    if (!s.name.empty()) {
      std::vector<uint8_t> name(s.name.begin(), s.name.end());
      name.push_back(0);
      w.Chunk(kStrn, name);
    }
    if (spec.index == TestIndex::kOpenDml) {
      out.indxOffsets.push_back(w.pos());
      const std::size_t indx = w.Begin(kIndx);
      w.U16(4);  // longs per entry
      w.bytes().push_back(0);
      w.bytes().push_back(0);  // index of indexes
      w.U32(uint32_t(spec.superIndexCopies));
      w.U32(0);
      w.U32(0);
      w.U32(0);
      w.U32(0);
      superIndexAt.push_back(w.pos());
      for (std::size_t i = 0; i < spec.superIndexCopies; ++i) {
        w.U64(0);  // patched once the ix chunk is placed
        w.U32(0);
        w.U32(0);
      }
      w.End(indx);
    }
    w.End(strl);
  }
  w.End(hdrl);

  out.moviListOffset = w.pos();
  const std::size_t movi = w.Begin(kLIST, kMovi);
  const std::size_t moviType = out.moviListOffset + 8;
  std::vector<std::size_t> headerAt;
  std::vector<int> kinds;
  for (const TestChunk& c : spec.chunks) {
    std::size_t rec = 0;
    if (spec.recLists) rec = w.Begin(kLIST, kRec);
    headerAt.push_back(w.pos());
    const bool video = spec.streams[std::size_t(c.stream)].header.type == kVids;
    w.Chunk(StreamChunkId(unsigned(c.stream), video ? "dc" : "wb"), c.payload);
    out.payloadOffsets.push_back(headerAt.back() + 8);
    if (spec.recLists) w.End(rec);
  }
  if (spec.index == TestIndex::kOpenDml) {
    for (std::size_t s = 0; s < spec.streams.size(); ++s) {
      out.ixOffsets.push_back(w.pos());
      const std::size_t ix = w.Begin(MakeFourCC("ix00") + (uint32_t(s) << 24));
      std::vector<std::size_t> mine;
      for (std::size_t i = 0; i < spec.chunks.size(); ++i) {
        if (std::size_t(spec.chunks[i].stream) == s) mine.push_back(i);
      }
      w.U16(2);
      w.bytes().push_back(0);
      w.bytes().push_back(1);  // index of chunks
      w.U32(uint32_t(mine.size()));
      w.U32(StreamChunkId(unsigned(s), "dc"));
      w.U64(moviType);  // base offset
      w.U32(0);
      for (std::size_t i : mine) {
        w.U32(uint32_t(out.payloadOffsets[i] - moviType));
        w.U32(uint32_t(spec.chunks[i].payload.size()) | (spec.chunks[i].keyframe ? 0 : 0x80000000u));
      }
      w.End(ix);
      for (std::size_t i = 0; i < spec.superIndexCopies; ++i) {
        uint8_t* entry = &w.bytes()[superIndexAt[s] + 16 * i];
        WriteLE64(entry, out.ixOffsets.back());
        WriteLE32(entry + 8, uint32_t(w.pos() - out.ixOffsets.back()));
        WriteLE32(entry + 12, uint32_t(mine.size()));
      }
    }
  }
  w.End(movi);

  if (spec.index == TestIndex::kIdx1Relative || spec.index == TestIndex::kIdx1Absolute ||
      spec.index == TestIndex::kOpenDml) {
    out.idx1Offset = w.pos();
    const std::size_t idx1 = w.Begin(kIdx1);
    const std::size_t base = spec.index == TestIndex::kIdx1Absolute ? 0 : moviType;
    for (std::size_t i = 0; i < spec.chunks.size(); ++i) {
      const TestChunk& c = spec.chunks[i];
      w.U32(ReadLE32(&w.bytes()[headerAt[i]]));
      w.U32(c.keyframe ? kAviifKeyframe : 0);
      w.U32(uint32_t(headerAt[i] - base));
      w.U32(uint32_t(c.payload.size()));
    }
    w.End(idx1);
  }
  w.End(riff);
  out.bytes = std::move(w.bytes());

  out.boundaries = {0, 12, out.hdrlListOffset, out.moviListOffset};
  for (std::size_t at : out.strlOffsets) out.boundaries.push_back(at);
  for (std::size_t at : headerAt) out.boundaries.push_back(at);
  for (std::size_t at : out.ixOffsets) out.boundaries.push_back(at);
  if (out.idx1Offset) out.boundaries.push_back(out.idx1Offset);
  std::sort(out.boundaries.begin(), out.boundaries.end());
  return out;
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace avitest
