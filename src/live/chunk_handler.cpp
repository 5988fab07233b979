#include "live/chunk_handler.h"

#include <algorithm>
#include <cstring>

#include "live/stream_protocol.h"

namespace {

bool IsChunkId(const uint8_t* p) {
  return p[0] == '0' && ChunkKindOf(p) != ChunkKind::kOther;
}

// The looser test of the header after a chunk: each letter on its own.
bool LooksLikeHeader(const uint8_t* p) {
  return p[0] == '0' && (p[2] == 'd' || p[2] == 'w' || p[2] == 't') &&
         (p[3] == 'c' || p[3] == 'b' || p[3] == 'x');
}

int32_t ReadLe32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

}  // namespace

// Tests use small buffers; none below room for a receive's worth of framing.
ChunkHandler::ChunkHandler(std::size_t capacity) : buffer_(std::max<std::size_t>(capacity, 2000)) {}

std::size_t ChunkHandler::ReceiveRoom() const {
  return std::min(kMaxReceive, buffer_.size() - start_ - fill_);
}

void ChunkHandler::Commit(std::size_t count) {
  fill_ += std::min(count, buffer_.size() - start_ - fill_);
}

std::size_t ChunkHandler::Append(const uint8_t* data, std::size_t length) {
  const std::size_t n = std::min(length, buffer_.size() - start_ - fill_);
  if (n) std::memcpy(buffer_.data() + start_ + fill_, data, n);
  fill_ += n;
  return n;
}

void ChunkHandler::Drop(std::size_t count) {
  start_ += count;
  fill_ -= count;
  dropped_ += count;
}

void ChunkHandler::Handle(ChunkSink& sink) {
  uint8_t* const base = buffer_.data();
  while (fill_ > kChunkHeaderBytes) {
    if (fill_ >= 17) {
      const uint8_t* p = base + start_;
      std::size_t i = 0;
      const std::size_t last = fill_ - 17;
      while (i <= last && !IsChunkId(p + i)) {
        // Jump to the next '0': the only byte an id can start with.
        const void* zero = std::memchr(p + i + 1, '0', last - i);
        i = zero ? std::size_t(static_cast<const uint8_t*>(zero) - p) : last + 1;
      }
      if (i > last) i = fill_ - 16;
      if (i) Drop(i);
    }
    const uint8_t* chunk = base + start_;
    // What is left when resynchronising found no id (or too few bytes to
    // look for one) waits for more: a length is read only after an id, as
    // small receives would otherwise read one in the middle of a header.
    if (fill_ < kChunkHeaderBytes || !IsChunkId(chunk)) break;
    const int32_t length = ReadLe32(chunk + 4);
    if (length > kMaxChunkPayload || length < 0) {
      ++framingErrors_;
      Drop(fill_);
      break;
    }
    if (fill_ < kChunkHeaderBytes + std::size_t(length) + kLookAhead) break;
    if (!LooksLikeHeader(chunk + kChunkHeaderBytes + length)) {
      ++framingErrors_;
      Drop(fill_);
      break;
    }
    const int channel = ChunkChannel(chunk[1]);
    const uint8_t* payload = chunk + kChunkHeaderBytes;
    sink.OnChunk();
    switch (ChunkKindOf(chunk)) {
      case ChunkKind::kAudio:
        sink.OnAudioChunk(channel, payload, std::size_t(length));
        break;
      case ChunkKind::kVideo:
        sink.OnVideoChunk(channel, payload, std::size_t(length));
        break;
      case ChunkKind::kText:
        sink.OnTextChunk(payload, std::size_t(length));
        break;
      case ChunkKind::kOther:
        break;
    }
    start_ += kChunkHeaderBytes + std::size_t(length);
    fill_ -= kChunkHeaderBytes + std::size_t(length);
  }
  if (fill_ == 0) {
    start_ = 0;
  } else if (buffer_.size() - start_ - fill_ < kMaxReceive) {
    std::memmove(base, base + start_, fill_);
    start_ = 0;
  }
}
