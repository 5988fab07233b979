#pragma once

// Building the per-stream chunk lists of an AVI file from its indexes:
// OpenDML (a super index `indx` per stream pointing at `ix##` standard
// indexes), the legacy `idx1`, or, when both are missing or damaged, a walk
// over the chunks of the `movi` lists. Every entry is checked against the
// file size; entries pointing outside the file are dropped, never trusted.

#include <cstdint>
#include <vector>

#include "avi/read_only_file.h"

namespace avi {

// Where one stored chunk lies. `offset` is the absolute file offset of the
// payload (just past the 8-byte chunk header); `size` is the payload size.
// A walk over movi can't tell key frames: it marks every chunk it finds key.
struct ChunkEntry {
  uint64_t offset = 0;
  uint32_t size = 0;
  bool keyframe = true;
};

using StreamChunks = std::vector<std::vector<ChunkEntry>>;  // [stream][k]

// The payload range of one LIST movi: `typeOffset` is the file offset of the
// 'movi' type word (idx1 offsets count from there), chunks follow it up to `end`.
struct MoviList {
  uint64_t typeOffset = 0;
  uint64_t end = 0;
  bool operator==(const MoviList&) const = default;
};

// Which index the chunk lists came from.
enum class IndexSource { kNone, kOpenDml, kIdx1, kScan };

// Reads one stream's OpenDML index from the payload of its `indx` chunk and
// appends the chunks to `out`. False when the index is malformed, one of the
// standard indexes it names is missing, or they are not named in file order
// apart from each other (so the work is bounded by the file's size), so the
// caller can fall back.
bool ReadOpenDmlIndex(const ReadOnlyFile& file, const std::vector<uint8_t>& indx,
                      std::vector<ChunkEntry>& out);

// Reads an `idx1` payload of `size` bytes at `offset`. Its entry offsets are
// either relative to the first movi list's type word or absolute; which one
// is told by looking for the first entry's chunk id at both places. Entries
// of unknown streams or outside the file are skipped. False when the index
// is unusable (no entry can be placed), so the caller scans instead.
bool ReadIdx1(const ReadOnlyFile& file, uint64_t offset, uint64_t size, const MoviList& movi,
              StreamChunks& out);

// The parts of each movi list after its last indexed chunk, as lists to
// walk with ScanMovi: idx1 covers the first RIFF only, a recorder that lost
// power leaves chunks after its last index entry, and one that stopped short
// leaves its last AVIX part out of the OpenDML index. `movis` are in file
// order and do not overlap, as AviReader finds them. Costs O(M + E log M)
// for M lists and E entries: a file of 200,000 empty AVIX parts must not
// cost M × E.
std::vector<MoviList> UnindexedTails(const std::vector<MoviList>& movis, const StreamChunks& chunks);

// Walks the chunks of the given movi lists (descending into 'rec ' lists) and
// appends every "NNxx" chunk of a known stream to `out`. A chunk that runs
// past its list or the end of file, or whose id is not four printable
// characters (a reserved, zero-filled tail), ends that list's walk.
void ScanMovi(const ReadOnlyFile& file, const std::vector<MoviList>& movis, StreamChunks& out);

}  // namespace avi
