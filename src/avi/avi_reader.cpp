#include "avi/avi_reader.h"

#include <algorithm>
#include <functional>

namespace avi {

namespace {

// The header list holds a few hundred bytes of stream headers and formats; a
// size beyond this is a damaged or hostile file, not something to allocate.
constexpr uint64_t kMaxHdrlBytes = 16 * 1024 * 1024;
// Two-digit chunk ids name streams 00..99.
constexpr std::size_t kMaxStreams = 100;

using ChunkVisitor = std::function<bool(FourCC id, uint64_t payload, uint64_t size, uint64_t available)>;

// Calls `visit` for each chunk header inside [begin, end) of the file, in
// order, until `visit` returns false, a header doesn't fit or a chunk runs
// past `end` (that last chunk is still visited, with `available` < `size`).
void WalkChunks(const ReadOnlyFile& file, uint64_t begin, uint64_t end, const ChunkVisitor& visit) {
  uint64_t pos = begin;
  uint8_t header[8];
  while (pos + 8 <= end && file.ReadAt(pos, header, sizeof header)) {
    const uint64_t payload = pos + 8;
    const uint64_t size = ReadLE32(header + 4);
    const uint64_t available = end - payload;
    if (!visit(ReadLE32(header), payload, size, available) || size > available) return;
    pos = payload + size + (size & 1);
  }
}

}  // namespace

bool AviReader::Fail(std::string message) {
  Close();
  error_ = std::move(message);
  return false;
}

void AviReader::Close() {
  file_.Close();
  error_.clear();
  mainHeader_ = MainHeader{};
  hdrlListSize_ = 0;
  indexSource_ = IndexSource::kNone;
  streams_.clear();
  superIndexes_.clear();
  movis_.clear();
}

bool AviReader::Open(const std::string& path, Load load) {
  Close();
  std::string error;
  if (!file_.Open(path, &error)) return Fail(error);
  uint64_t hdrlOffset = 0, hdrlSize = 0, idx1Offset = 0, idx1Size = 0;
  if (!ReadTopLevel(hdrlOffset, hdrlSize, idx1Offset, idx1Size)) return false;
  if (!ParseHdrl(hdrlOffset, hdrlSize)) return false;
  if (load == Load::kIndex) LoadIndex(idx1Offset, idx1Size);
  return true;
}

bool AviReader::ReadTopLevel(uint64_t& hdrlOffset, uint64_t& hdrlSize, uint64_t& idx1Offset,
                             uint64_t& idx1Size) {
  uint8_t riff[12];
  if (file_.Size() == 0) return Fail("the file is empty (0 bytes)");
  if (file_.Size() < sizeof riff) {
    return Fail("too short for an AVI file (" + std::to_string(file_.Size()) + " bytes)");
  }
  if (!file_.ReadAt(0, riff, sizeof riff)) return Fail("cannot be read");
  if (ReadLE32(riff) != kRIFF) return Fail("not an AVI file (no RIFF header)");
  if (ReadLE32(riff + 8) != kAVI) {
    std::string type = FourCCText(ReadLE32(riff + 8));
    const bool printable =
        std::all_of(type.begin(), type.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
    return Fail(printable ? "a RIFF file of type '" + type + "', not an AVI" : "a RIFF file, but not an AVI");
  }
  // A recorder that lost power leaves a RIFF size of 0 or one from an earlier
  // flush; the file's own end is the better bound then.
  uint64_t riffEnd = 8 + uint64_t(ReadLE32(riff + 4));
  if (riffEnd < sizeof riff || riffEnd > file_.Size()) riffEnd = file_.Size();

  bool hdrlTruncated = false;
  WalkChunks(file_, sizeof riff, riffEnd,
             [&](FourCC id, uint64_t payload, uint64_t size, uint64_t available) {
               if (id == kIdx1) {
                 idx1Offset = payload;
                 idx1Size = std::min(size, available);
                 return true;
               }
               uint8_t type[4];
               if (id != kLIST || available < 4 || !file_.ReadAt(payload, type, 4)) return true;
               if (ReadLE32(type) == kHdrl && hdrlOffset == 0) {
                 if (size < 4 || size > available) {
                   hdrlTruncated = true;
                   return false;
                 }
                 hdrlOffset = payload + 4;
                 hdrlSize = size - 4;
                 hdrlListSize_ = uint32_t(size);
               } else if (ReadLE32(type) == kMovi && movis_.empty()) {
                 // An unfinished recording has a movi size of 0 or one cut by the file
                 // end: its chunks run to the end, and nothing after it can be trusted.
                 const bool unfinished = size <= 4 || size > available;
                 movis_.push_back(MoviList{payload, unfinished ? riffEnd : payload + size});
                 return !unfinished;
               }
               return true;
             });
  if (hdrlTruncated) return Fail("header list runs past the end of the file");
  if (hdrlOffset == 0) return Fail("no header list (LIST hdrl)");
  if (movis_.empty()) return Fail("no movi list");

  // OpenDML files continue in RIFF 'AVIX' chunks, each with a movi list.
  uint64_t pos = riffEnd + (riffEnd & 1);
  while (pos + sizeof riff <= file_.Size() && file_.ReadAt(pos, riff, sizeof riff) &&
         ReadLE32(riff) == kRIFF && ReadLE32(riff + 8) == kAVIX) {
    const uint64_t end = std::min(pos + 8 + uint64_t(ReadLE32(riff + 4)), file_.Size());
    WalkChunks(file_, pos + sizeof riff, end,
               [&](FourCC id, uint64_t payload, uint64_t size, uint64_t available) {
                 uint8_t type[4];
                 if (id == kLIST && size >= 4 && available >= 4 && file_.ReadAt(payload, type, 4) &&
                     ReadLE32(type) == kMovi) {
                   movis_.push_back(MoviList{payload, size > available ? end : payload + size});
                 }
                 return true;
               });
    if (end <= pos + sizeof riff) break;
    pos = end + (end & 1);
  }
  return true;
}

bool AviReader::ParseHdrl(uint64_t offset, uint64_t size) {
  if (size > kMaxHdrlBytes) return Fail("header list too large");
  std::vector<uint8_t> hdrl(size);
  if (!file_.ReadAt(offset, hdrl.data(), hdrl.size())) return Fail("cannot read the header list");

  // Walks the chunks of hdrl[begin, end); false when one runs past `end`.
  auto walk = [&hdrl](std::size_t begin, std::size_t end, auto&& visit) {
    std::size_t pos = begin;
    while (pos + 8 <= end) {
      const FourCC id = ReadLE32(&hdrl[pos]);
      const std::size_t chunkSize = ReadLE32(&hdrl[pos + 4]);
      if (chunkSize > end - pos - 8) return false;
      if (!visit(id, pos + 8, chunkSize)) return false;
      pos += 8 + chunkSize + (chunkSize & 1);
    }
    return true;
  };

  bool haveMain = false;
  std::string problem;
  const bool whole = walk(0, hdrl.size(), [&](FourCC id, std::size_t at, std::size_t n) {
    if (id == kAvih) {
      uint8_t main[kMainHeaderBytes] = {};
      std::copy_n(&hdrl[at], std::min(n, kMainHeaderBytes), main);
      mainHeader_ = ParseMainHeader(main);
      haveMain = true;
      return true;
    }
    if (id == kLIST && n < 4) {
      // Too short for its own type: the demuxer would lose the streams after it.
      problem = "header list is damaged (a list of " + std::to_string(n) + " bytes)";
      return false;
    }
    if (id != kLIST || ReadLE32(&hdrl[at]) != kStrl) return true;
    if (streams_.size() == kMaxStreams) {
      problem = "more than 100 streams";
      return false;
    }
    AviStream stream;
    std::vector<uint8_t> indx;
    bool haveStrh = false;
    const bool strlWhole = walk(at + 4, at + n, [&](FourCC sub, std::size_t p, std::size_t len) {
      const uint8_t* data = &hdrl[p];
      if (sub == kStrh) {
        stream.strh.assign(data, data + len);
        uint8_t header[kStreamHeaderBytes] = {};
        std::copy_n(data, std::min(len, kStreamHeaderBytes), header);
        stream.header = ParseStreamHeader(header);
        haveStrh = true;
      } else if (sub == kStrf) {
        stream.strf.assign(data, data + len);
      } else if (sub == kStrn) {
        stream.name.assign(reinterpret_cast<const char*>(data), std::find(data, data + len, 0) - data);
      } else if (sub == kIndx) {
        indx.assign(data, data + len);
      } else if (sub == kVprp) {
        stream.vprp.assign(data, data + len);
      }
      return true;
    });
    if (!strlWhole || !haveStrh) {
      problem = "stream " + std::to_string(streams_.size()) +
                (haveStrh ? " has a damaged header list" : " has no stream header (strh)");
      return false;
    }
    streams_.push_back(std::move(stream));
    superIndexes_.push_back(std::move(indx));
    return true;
  });
  if (!problem.empty()) return Fail(problem);
  if (!whole && !haveMain) return Fail("header list is damaged");
  if (!haveMain) return Fail("no main header (avih)");
  if (streams_.empty()) return Fail("no streams");
  return true;
}

void AviReader::LoadIndex(uint64_t idx1Offset, uint64_t idx1Size) {
  StreamChunks chunks(streams_.size());
  auto total = [&chunks] {
    std::size_t n = 0;
    for (const auto& c : chunks) n += c.size();
    return n;
  };
  auto clear = [&chunks] {
    for (auto& c : chunks) c.clear();
  };

  const bool hasOpenDml = std::any_of(superIndexes_.begin(), superIndexes_.end(),
                                      [](const std::vector<uint8_t>& s) { return !s.empty(); });
  if (hasOpenDml) {
    bool ok = true;
    for (std::size_t s = 0; s < streams_.size() && ok; ++s) {
      if (!superIndexes_[s].empty()) ok = ReadOpenDmlIndex(file_, superIndexes_[s], chunks[s]);
    }
    // No file holds more chunks than 8-byte chunk headers fit in it.
    if (ok && total() > 0 && total() <= file_.Size() / 8) indexSource_ = IndexSource::kOpenDml;
  }
  if (indexSource_ == IndexSource::kNone) {
    clear();
    if (idx1Size > 0 && ReadIdx1(file_, idx1Offset, idx1Size, movis_.front(), chunks)) {
      indexSource_ = IndexSource::kIdx1;
    }
  }
  if (indexSource_ == IndexSource::kNone) {
    clear();
    ScanMovi(file_, movis_, chunks);
    indexSource_ = IndexSource::kScan;
  } else {
    // idx1 covers the first RIFF only, a recorder that lost power leaves
    // chunks after its last index entry, and one that stopped short leaves
    // its last AVIX part out of the OpenDML index: whatever follows the last
    // indexed chunk of each movi list is walked as well.
    const std::vector<MoviList> tails = UnindexedTails(movis_, chunks);
    if (!tails.empty()) {
      const std::size_t before = total();
      ScanMovi(file_, tails, chunks);
      if (total() != before) {
        // Chunk k of a stream is its k-th chunk in the file.
        for (auto& c : chunks) {
          std::stable_sort(c.begin(), c.end(),
                           [](const ChunkEntry& a, const ChunkEntry& b) { return a.offset < b.offset; });
        }
      }
    }
  }
  for (std::size_t s = 0; s < streams_.size(); ++s) streams_[s].chunks = std::move(chunks[s]);
}

const AviStream& AviReader::Stream(std::size_t index) const {
  static const AviStream kNoStream;
  return index < streams_.size() ? streams_[index] : kNoStream;
}

int AviReader::NthStreamOfType(FourCC type, int n) const {
  if (n < 0) return -1;
  for (std::size_t i = 0; i < streams_.size(); ++i) {
    if (streams_[i].header.type == type && n-- == 0) return int(i);
  }
  return -1;
}

std::size_t AviReader::ChunkCount(std::size_t stream) const {
  return stream < streams_.size() ? streams_[stream].chunks.size() : 0;
}

bool AviReader::Chunk(std::size_t stream, std::size_t k, ChunkEntry& out) const {
  if (stream >= streams_.size() || k >= streams_[stream].chunks.size()) return false;
  out = streams_[stream].chunks[k];
  return true;
}

bool AviReader::ReadChunk(std::size_t stream, std::size_t k, std::vector<uint8_t>& out) const {
  ChunkEntry c;
  if (!Chunk(stream, k, c)) return false;
  out.resize(c.size);
  return file_.ReadAt(c.offset, out.data(), c.size);
}

int64_t AviReader::ReadChunk(std::size_t stream, std::size_t k, uint8_t* buffer, std::size_t capacity) const {
  ChunkEntry c;
  if (!Chunk(stream, k, c) || c.size > capacity || !file_.ReadAt(c.offset, buffer, c.size)) return -1;
  return c.size;
}

std::vector<FileChunk> AviReader::ChunksInFileOrder() const {
  std::vector<FileChunk> all;
  for (std::size_t s = 0; s < streams_.size(); ++s) {
    for (const ChunkEntry& c : streams_[s].chunks)
      all.push_back(FileChunk{int(s), c.size, c.offset, c.keyframe});
  }
  std::stable_sort(all.begin(), all.end(),
                   [](const FileChunk& a, const FileChunk& b) { return a.offset < b.offset; });
  return all;
}

}  // namespace avi
