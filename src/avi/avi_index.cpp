#include "avi/avi_index.h"

#include <algorithm>

#include "avi/avi_format.h"

namespace avi {

namespace {

constexpr uint8_t kIndexOfIndexes = 0x00;
constexpr uint8_t kIndexOfChunks = 0x01;
constexpr std::size_t kIndexHeaderBytes = 24;  // common head of indx and ix## payloads
constexpr std::size_t kSuperIndexEntryBytes = 16;
constexpr uint32_t kDeltaFrameBit = 0x80000000u;
// Neither index is read whole: a lying size field must not decide how much
// memory we take, so entries are read in blocks of this many bytes.
constexpr std::size_t kIndexBlockBytes = 64 * 1024;

bool FitsInFile(const ReadOnlyFile& file, uint64_t offset, uint64_t size) {
  return offset <= file.Size() && size <= file.Size() - offset;
}

// Appends `count` standard index entries of `stride` bytes each, skipping
// entries whose chunk would lie outside the file.
void AppendStandardEntries(const ReadOnlyFile& file, const uint8_t* entries, uint64_t count, uint64_t stride,
                           uint64_t base, std::vector<ChunkEntry>& out) {
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* e = entries + i * stride;
    const uint32_t rawSize = ReadLE32(e + 4);
    const ChunkEntry c{base + ReadLE32(e), rawSize & ~kDeltaFrameBit, (rawSize & kDeltaFrameBit) == 0};
    if (c.offset >= base && FitsInFile(file, c.offset, c.size)) out.push_back(c);
  }
}

// Reads a standard index whose 24-byte head is `head` and whose entries
// follow at `entriesOffset` in the file, `available` bytes of them.
bool ReadStandardIndex(const ReadOnlyFile& file, const uint8_t* head, uint64_t entriesOffset,
                       uint64_t available, std::vector<ChunkEntry>& out) {
  const uint16_t longsPerEntry = ReadLE16(head);
  if (head[3] != kIndexOfChunks || longsPerEntry < 2) return false;
  const uint64_t stride = uint64_t(longsPerEntry) * 4;
  const uint64_t inUse = std::min<uint64_t>(ReadLE32(head + 4), available / stride);
  const uint64_t base = ReadLE64(head + 12);
  std::vector<uint8_t> block;
  const uint64_t perBlock = std::max<uint64_t>(1, kIndexBlockBytes / stride);
  for (uint64_t first = 0; first < inUse; first += perBlock) {
    const uint64_t count = std::min(perBlock, inUse - first);
    block.resize(count * stride);
    if (!file.ReadAt(entriesOffset + first * stride, block.data(), block.size())) return false;
    AppendStandardEntries(file, block.data(), count, stride, base, out);
  }
  return true;
}

bool IsPrintableFourCC(FourCC id) {
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = uint8_t(id >> (8 * i));
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

}  // namespace

bool ReadOpenDmlIndex(const ReadOnlyFile& file, const std::vector<uint8_t>& indx,
                      std::vector<ChunkEntry>& out) {
  if (indx.size() < kIndexHeaderBytes) return false;
  const uint8_t* head = indx.data();
  if (head[3] == kIndexOfChunks) {
    // A standard index kept directly in the stream header list.
    const uint16_t longsPerEntry = ReadLE16(head);
    if (longsPerEntry < 2) return false;
    const uint64_t stride = uint64_t(longsPerEntry) * 4;
    const uint64_t inUse = std::min<uint64_t>(ReadLE32(head + 4), (indx.size() - kIndexHeaderBytes) / stride);
    AppendStandardEntries(file, head + kIndexHeaderBytes, inUse, stride, ReadLE64(head + 12), out);
    return true;
  }
  if (head[3] != kIndexOfIndexes || ReadLE16(head) != 4) return false;
  const uint64_t inUse =
      std::min<uint64_t>(ReadLE32(head + 4), (indx.size() - kIndexHeaderBytes) / kSuperIndexEntryBytes);
  // Writers put each standard index after the chunks it indexes, so a super
  // index names them in file order, each apart from the others. One named
  // twice, or overlapping the one before, is no index: without this rule a
  // million entries naming one small ix## cost a million reads, and read
  // its chunks a million times over.
  uint64_t firstFree = 0;
  for (uint64_t i = 0; i < inUse; ++i) {
    const uint8_t* e = head + kIndexHeaderBytes + i * kSuperIndexEntryBytes;
    const uint64_t ixOffset = ReadLE64(e);
    if (ixOffset < firstFree) return false;
    // The chunk's own header, not the super index's size field, says how many
    // entries it holds; both must agree with the file.
    uint8_t ix[8 + kIndexHeaderBytes];
    if (!file.ReadAt(ixOffset, ix, sizeof ix)) return false;
    const uint32_t ixSize = ReadLE32(ix + 4);
    if (ixSize < kIndexHeaderBytes) return false;
    const uint64_t entriesOffset = ixOffset + sizeof ix;
    const uint64_t available =
        std::min<uint64_t>(ixSize - kIndexHeaderBytes, file.Size() - std::min(file.Size(), entriesOffset));
    if (!ReadStandardIndex(file, ix + 8, entriesOffset, available, out)) return false;
    firstFree = entriesOffset + available;
    // Every real chunk has an 8-byte header of its own in the file; more
    // entries than that means standard indexes named over and over.
    if (out.size() > file.Size() / 8) return false;
  }
  return true;
}

bool ReadIdx1(const ReadOnlyFile& file, uint64_t offset, uint64_t size, const MoviList& movi,
              StreamChunks& out) {
  const std::size_t streams = out.size();
  const uint64_t entries = size / kIdx1EntryBytes;
  bool baseKnown = false;
  uint64_t base = 0;
  bool any = false;
  std::vector<uint8_t> block;
  const uint64_t perBlock = kIndexBlockBytes / kIdx1EntryBytes;
  for (uint64_t first = 0; first < entries; first += perBlock) {
    const uint64_t count = std::min(perBlock, entries - first);
    block.resize(count * kIdx1EntryBytes);
    if (!file.ReadAt(offset + first * kIdx1EntryBytes, block.data(), block.size())) break;
    for (uint64_t i = 0; i < count; ++i) {
      const uint8_t* e = block.data() + i * kIdx1EntryBytes;
      const FourCC id = ReadLE32(e);
      const int stream = StreamIndexOfChunkId(id);
      if (stream < 0 || std::size_t(stream) >= streams) continue;  // 'rec ' lists, unknown streams
      const uint64_t entryOffset = ReadLE32(e + 8);
      const uint32_t chunkSize = ReadLE32(e + 12);
      if (!baseKnown) {
        // Writers disagree on what idx1 offsets count from; find the chunk id.
        for (const uint64_t candidate : {movi.typeOffset, uint64_t(0)}) {
          uint8_t header[8];
          if (file.ReadAt(candidate + entryOffset, header, sizeof header) && ReadLE32(header) == id) {
            base = candidate;
            baseKnown = true;
            break;
          }
        }
        if (!baseKnown) return false;
      }
      ChunkEntry c{base + entryOffset + 8, chunkSize, (ReadLE32(e + 4) & kAviifKeyframe) != 0};
      if (!FitsInFile(file, c.offset, c.size)) continue;
      out[std::size_t(stream)].push_back(c);
      any = true;
    }
  }
  return any;
}

std::vector<MoviList> UnindexedTails(const std::vector<MoviList>& movis, const StreamChunks& chunks) {
  // covered[i]: the end of the last indexed chunk inside movi list i, or the
  // start of its chunks when none is.
  std::vector<uint64_t> covered(movis.size());
  for (std::size_t i = 0; i < movis.size(); ++i) covered[i] = movis[i].typeOffset + 4;
  for (const auto& stream : chunks) {
    for (const ChunkEntry& e : stream) {
      // The list an entry lies in is the last one that starts before it.
      const auto after =
          std::upper_bound(movis.begin(), movis.end(), e.offset,
                           [](uint64_t offset, const MoviList& m) { return offset <= m.typeOffset; });
      if (after == movis.begin()) continue;
      const std::size_t i = std::size_t(after - movis.begin()) - 1;
      if (e.offset >= movis[i].end) continue;
      covered[i] = std::max(covered[i], e.offset + e.size + (e.size & 1));
    }
  }
  std::vector<MoviList> tails;
  for (std::size_t i = 0; i < movis.size(); ++i) {
    if (covered[i] + 8 <= movis[i].end) tails.push_back(MoviList{covered[i] - 4, movis[i].end});
  }
  return tails;
}

void ScanMovi(const ReadOnlyFile& file, const std::vector<MoviList>& movis, StreamChunks& out) {
  for (const MoviList& movi : movis) {
    const uint64_t end = std::min(movi.end, file.Size());
    uint64_t pos = movi.typeOffset + 4;
    uint8_t header[12];
    while (pos + 8 <= end && file.ReadAt(pos, header, 8)) {
      const FourCC id = ReadLE32(header);
      const uint64_t size = ReadLE32(header + 4);
      if (id == kLIST && pos + 12 <= end && file.ReadAt(pos + 8, header + 8, 4) &&
          ReadLE32(header + 8) == kRec) {
        pos += 12;  // a 'rec ' list groups chunks: walk into it
        continue;
      }
      if (!IsPrintableFourCC(id)) break;  // zeros a recorder reserved, or garbage: no chunk here
      if (size > end - pos - 8) break;    // chunk cut short by the end of the list or file
      const int stream = StreamIndexOfChunkId(id);
      if (stream >= 0 && std::size_t(stream) < out.size()) {
        out[std::size_t(stream)].push_back(ChunkEntry{pos + 8, uint32_t(size), true});
      }
      pos += 8 + size + (size & 1);
    }
  }
}

}  // namespace avi
