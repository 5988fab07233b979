#pragma once

// Reads the chunks of an open AviReader through a window buffer, so walking
// chunks in (or near) file order costs one system call per window instead of
// one per chunk. Chunks larger than half the window are read directly. The
// default window stays in the CPU's second-level cache, so the copy out of
// it is cheap next to the copy from the page cache.
//
// A cursor belongs to one thread; several cursors may share one reader. The
// reader must outlive the cursor.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "avi/avi_reader.h"

namespace avi {

class AviChunkCursor {
 public:
  explicit AviChunkCursor(const AviReader& reader, std::size_t windowBytes = 256 * 1024);

  // Copies exactly the payload of chunk k of `stream` into `out`; false when
  // the chunk is out of range or can't be read.
  bool ReadChunk(std::size_t stream, std::size_t k, std::vector<uint8_t>& out);

  // The payload of chunk k without a copy. The bytes stay valid until the
  // next call on this cursor; an empty span with `ok` false on failure.
  std::span<const uint8_t> ViewChunk(std::size_t stream, std::size_t k, bool& ok);

 private:
  const AviReader& reader_;
  std::vector<uint8_t> window_;
  uint64_t windowStart_ = 0;
  std::size_t windowFill_ = 0;
  std::vector<uint8_t> large_;  // a chunk too big for the window
};

}  // namespace avi
