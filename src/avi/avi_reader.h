#pragma once

// The project's own RIFF/AVI reader: stream list, headers and format blocks
// kept byte for byte, and random access to every stored chunk through the
// file's index (OpenDML `indx`/`ix##` with `AVIX` extensions, or `idx1`), with
// a walk over the `movi` lists when the index is missing or damaged. Offsets
// are 64-bit throughout, so files over 4 GB work.
//
// Bad input never throws and never crashes: Open() fails with a one-line
// Error() for files that are not AVI or whose headers are cut short; index
// entries that point outside the file are dropped. Reading the index reads
// no chunk payload, and ReadChunk() costs one positioned read; to walk many
// chunks in file order, AviChunkCursor (avi_chunk_cursor.h) batches them.
//
// Threads: Open()/Close() by one owner; after a successful Open() every const
// member (ReadChunk included) may be called from several threads at once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "avi/avi_format.h"
#include "avi/avi_index.h"
#include "avi/read_only_file.h"

namespace avi {

struct AviStream {
  StreamHeader header;        // decoded `strh` (a short strh reads as zero-padded)
  std::vector<uint8_t> strh;  // the `strh` payload exactly as stored
  std::vector<uint8_t> strf;  // the `strf` payload exactly as stored (BITMAPINFOHEADER, WAVEFORMATEX, ...)
  std::string name;           // `strn` text up to its first NUL; empty when absent
  std::vector<uint8_t> vprp;  // the OpenDML video properties (`vprp`) exactly as stored; empty when absent
  std::vector<ChunkEntry> chunks;  // chunk k of the stream, in stream order
};

// One chunk in file order, for walking a file the way it is stored.
struct FileChunk {
  int stream = 0;
  uint32_t size = 0;
  uint64_t offset = 0;  // payload offset
  bool keyframe = true;
};

class AviReader {
 public:
  enum class Load {
    kIndex,        // headers and chunk index (the usual choice)
    kHeadersOnly,  // headers only: ChunkCount() is 0, for quick looks at lengths and formats
  };

  AviReader() = default;
  AviReader(const AviReader&) = delete;
  AviReader& operator=(const AviReader&) = delete;

  // Opens `path` and reads its headers (and index unless kHeadersOnly). On
  // failure returns false, Error() says why in one line that does not repeat
  // the path, and the reader holds no streams.
  bool Open(const std::string& path, Load load = Load::kIndex);
  void Close();
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Error() const { return error_; }

  uint64_t FileSize() const { return file_.Size(); }
  const MainHeader& Header() const { return mainHeader_; }  // `avih`
  uint32_t HdrlListSize() const { return hdrlListSize_; }   // size field of LIST hdrl, as stored
  IndexSource Index() const { return indexSource_; }

  std::size_t StreamCount() const { return streams_.size(); }
  // Stream `index` in file order; an empty stream (type 0, no chunks) when
  // index >= StreamCount(), so a wrong index can't bring the process down.
  const AviStream& Stream(std::size_t index) const;
  // The index of the n-th (from 0) stream whose header type is `type` (kVids,
  // kAuds, kTxts...), counted in file order; -1 when there is none.
  int NthStreamOfType(FourCC type, int n) const;

  std::size_t ChunkCount(std::size_t stream) const;
  // Chunk k of a stream; false when stream or k is out of range.
  bool Chunk(std::size_t stream, std::size_t k, ChunkEntry& out) const;
  // Reads exactly the payload of chunk k into `out` (resized to the chunk's
  // size). False when stream or k is out of range or the read fails.
  bool ReadChunk(std::size_t stream, std::size_t k, std::vector<uint8_t>& out) const;
  // Same into a caller buffer of `capacity` bytes; returns the chunk size, or
  // -1 when the chunk is out of range, larger than `capacity` or unreadable.
  int64_t ReadChunk(std::size_t stream, std::size_t k, uint8_t* buffer, std::size_t capacity) const;

  // Reads `count` raw bytes at `offset`; false when they leave the file.
  bool ReadBytes(uint64_t offset, void* out, std::size_t count) const {
    return file_.ReadAt(offset, out, count);
  }

  // Every indexed chunk of every stream, sorted by file offset.
  std::vector<FileChunk> ChunksInFileOrder() const;

 private:
  bool Fail(std::string message);
  bool ReadTopLevel(uint64_t& hdrlOffset, uint64_t& hdrlSize, uint64_t& idx1Offset, uint64_t& idx1Size);
  bool ParseHdrl(uint64_t offset, uint64_t size);
  void LoadIndex(uint64_t idx1Offset, uint64_t idx1Size);

  ReadOnlyFile file_;
  std::string error_;
  MainHeader mainHeader_;
  uint32_t hdrlListSize_ = 0;
  IndexSource indexSource_ = IndexSource::kNone;
  std::vector<AviStream> streams_;
  std::vector<std::vector<uint8_t>> superIndexes_;  // `indx` payload per stream, empty when absent
  std::vector<MoviList> movis_;                     // first RIFF's movi, then each AVIX's
};

}  // namespace avi
