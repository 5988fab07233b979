#include "avi/avi_chunk_cursor.h"

#include <algorithm>

namespace avi {

AviChunkCursor::AviChunkCursor(const AviReader& reader, std::size_t windowBytes)
    : reader_(reader), window_(std::max<std::size_t>(windowBytes, 4096)) {}

std::span<const uint8_t> AviChunkCursor::ViewChunk(std::size_t stream, std::size_t k, bool& ok) {
  ok = false;
  ChunkEntry c;
  if (!reader_.Chunk(stream, k, c)) return {};
  if (c.size > window_.size() / 2) {
    large_.resize(c.size);
    if (!reader_.ReadBytes(c.offset, large_.data(), c.size)) return {};
    ok = true;
    return {large_.data(), c.size};
  }
  if (c.offset < windowStart_ || c.offset + c.size > windowStart_ + windowFill_) {
    // Refill from this chunk on; the chunk is inside the file (the index
    // guarantees it), so at least its bytes fit.
    const uint64_t left = reader_.FileSize() - std::min(reader_.FileSize(), c.offset);
    const std::size_t fill = std::size_t(std::min<uint64_t>(window_.size(), left));
    windowFill_ = 0;
    if (fill < c.size || !reader_.ReadBytes(c.offset, window_.data(), fill)) return {};
    windowStart_ = c.offset;
    windowFill_ = fill;
  }
  ok = true;
  return {window_.data() + (c.offset - windowStart_), c.size};
}

bool AviChunkCursor::ReadChunk(std::size_t stream, std::size_t k, std::vector<uint8_t>& out) {
  bool ok = false;
  const std::span<const uint8_t> bytes = ViewChunk(stream, k, ok);
  if (!ok) return false;
  out.assign(bytes.begin(), bytes.end());  // no zero fill before the copy, unlike resize
  return true;
}

}  // namespace avi
