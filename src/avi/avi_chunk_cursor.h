#pragma once

// Reads the chunks of an open AviReader through a window buffer, so walking
// chunks in (or near) file order costs one system call per window instead of
// one per chunk. Chunks larger than half the window are read directly. The
// default window stays in the CPU's second-level cache, so the copy out of
// it is cheap next to the copy from the page cache.
//
// With a byte sink, the cursor reads the file forward from its first byte
// and hands every byte to the sink exactly once, in file order, while it is
// still in the window: a walk over the chunks and a pass over the whole file
// (a hash, say) then share one read. Asked in file order, the chunks come
// from the window; one behind what was passed is read directly.
//
// A cursor belongs to one thread; several cursors may share one reader. The
// reader must outlive the cursor.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "avi/avi_reader.h"

namespace avi {

using ByteSink = std::function<void(std::span<const uint8_t> bytes)>;

class AviChunkCursor {
 public:
  explicit AviChunkCursor(const AviReader& reader, std::size_t windowBytes = 256 * 1024);
  AviChunkCursor(const AviReader& reader, std::size_t windowBytes, ByteSink sink);

  // Copies exactly the payload of chunk k of `stream` into `out`; false when
  // the chunk is out of range or can't be read.
  bool ReadChunk(std::size_t stream, std::size_t k, std::vector<uint8_t>& out);

  // The payload of chunk k without a copy. The bytes stay valid until the
  // next call on this cursor; an empty span with `ok` false on failure.
  std::span<const uint8_t> ViewChunk(std::size_t stream, std::size_t k, bool& ok);

  // Hands the sink the rest of the file, to its end as the reader sized it.
  // False when a read on the way failed, so the sink missed bytes (or when
  // the cursor has no sink).
  bool FinishSink();

 private:
  std::span<const uint8_t> ViewAhead(const ChunkEntry& c, bool& ok);
  // Reads [passed_, passed_ + count) to window_ at `at`, hands it to the sink.
  bool Pass(std::size_t at, std::size_t count);

  const AviReader& reader_;
  std::vector<uint8_t> window_;
  uint64_t windowStart_ = 0;
  std::size_t windowFill_ = 0;
  std::vector<uint8_t> large_;  // a chunk too big for the window
  ByteSink sink_;
  uint64_t passed_ = 0;  // bytes of the file handed to the sink
  bool sinkBroken_ = false;
};

}  // namespace avi
