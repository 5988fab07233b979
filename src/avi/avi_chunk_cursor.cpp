#include "avi/avi_chunk_cursor.h"

#include <algorithm>
#include <cstring>

namespace avi {

AviChunkCursor::AviChunkCursor(const AviReader& reader, std::size_t windowBytes)
    : reader_(reader), window_(std::max<std::size_t>(windowBytes, 4096)) {}

AviChunkCursor::AviChunkCursor(const AviReader& reader, std::size_t windowBytes, ByteSink sink)
    : AviChunkCursor(reader, windowBytes) {
  sink_ = std::move(sink);
}

std::span<const uint8_t> AviChunkCursor::ViewChunk(std::size_t stream, std::size_t k, bool& ok) {
  ok = false;
  ChunkEntry c;
  if (!reader_.Chunk(stream, k, c)) return {};
  if (c.offset >= windowStart_ && c.offset + c.size <= windowStart_ + windowFill_) {
    ok = true;
    return {window_.data() + (c.offset - windowStart_), c.size};
  }
  const bool sinking = sink_ && !sinkBroken_;
  if (sinking && c.offset + c.size > passed_) {
    const std::span<const uint8_t> ahead = ViewAhead(c, ok);
    if (ok || !sinkBroken_) return ahead;
  }
  // Behind the sink's bytes the window is left alone: it ends where they do.
  if (c.size > window_.size() / 2 || sinking) {
    large_.resize(c.size);
    if (!reader_.ReadBytes(c.offset, large_.data(), c.size)) return {};
    ok = true;
    return {large_.data(), c.size};
  }
  // Refill from this chunk on; the chunk is inside the file (the index
  // guarantees it), so at least its bytes fit.
  const uint64_t left = reader_.FileSize() - std::min(reader_.FileSize(), c.offset);
  const std::size_t fill = std::size_t(std::min<uint64_t>(window_.size(), left));
  windowFill_ = 0;
  if (fill < c.size || !reader_.ReadBytes(c.offset, window_.data(), fill)) return {};
  windowStart_ = c.offset;
  windowFill_ = fill;
  ok = true;
  return {window_.data() + (c.offset - windowStart_), c.size};
}

bool AviChunkCursor::Pass(std::size_t at, std::size_t count) {
  windowStart_ = passed_ - at;
  if (!reader_.ReadBytes(passed_, window_.data() + at, count)) {
    sinkBroken_ = true;  // from here on the cursor reads like one without a sink
    windowFill_ = 0;
    return false;
  }
  sink_({window_.data() + at, count});
  passed_ += count;
  windowFill_ = at + count;
  return true;
}

// The window always ends where the sink's bytes do: what lies between it
// and the chunk is passed on, what of the chunk was passed already is kept.
std::span<const uint8_t> AviChunkCursor::ViewAhead(const ChunkEntry& c, bool& ok) {
  while (passed_ < c.offset) {
    if (!Pass(0, std::size_t(std::min<uint64_t>(window_.size(), c.offset - passed_)))) return {};
  }
  const std::size_t kept = std::size_t(passed_ - c.offset);
  if (window_.size() < c.size) window_.resize(c.size);  // keeps what it holds
  if (c.offset >= windowStart_ && passed_ == windowStart_ + windowFill_) {
    std::memmove(window_.data(), window_.data() + (c.offset - windowStart_), kept);
  } else if (!reader_.ReadBytes(c.offset, window_.data(), kept)) {  // passed, no longer in the window
    windowFill_ = 0;
    return {};
  }
  windowStart_ = c.offset, windowFill_ = kept;
  const uint64_t end = std::min<uint64_t>(reader_.FileSize(), c.offset + window_.size());
  if (end > passed_ && !Pass(kept, std::size_t(end - passed_))) return {};
  if (windowFill_ < c.size) return {};
  ok = true;
  return {window_.data(), c.size};
}

bool AviChunkCursor::FinishSink() {
  if (!sink_ || sinkBroken_) return false;
  while (passed_ < reader_.FileSize()) {
    if (!Pass(0, std::size_t(std::min<uint64_t>(window_.size(), reader_.FileSize() - passed_)))) return false;
  }
  return true;
}

bool AviChunkCursor::ReadChunk(std::size_t stream, std::size_t k, std::vector<uint8_t>& out) {
  bool ok = false;
  const std::span<const uint8_t> bytes = ViewChunk(stream, k, ok);
  if (!ok) return false;
  out.assign(bytes.begin(), bytes.end());  // no zero fill before the copy, unlike resize
  return true;
}

}  // namespace avi
