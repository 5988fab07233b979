#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// What the chunk handler hands on, one call per complete chunk, in stream
// order. `data` points into the handler's buffer and is valid only during
// the call.
class ChunkSink {
 public:
  virtual ~ChunkSink() = default;
  // Before each complete chunk is acted on (the live audio applies volume
  // changes here, so they reach the outputs with the next chunk of any kind).
  virtual void OnChunk() {}
  // A "dc" chunk of `channel` 0..3: one JPEG frame of `length` bytes.
  virtual void OnVideoChunk(int channel, const uint8_t* data, std::size_t length) = 0;
  // A "wb" chunk: μ-law samples of audio channel `channel` 0..3.
  virtual void OnAudioChunk(int channel, const uint8_t* data, std::size_t length) = 0;
  // A "tx" chunk: a metadata sample, for every channel.
  virtual void OnTextChunk(const uint8_t* data, std::size_t length) = 0;
};

// Cuts the bytes received from a DVR unit into chunks (stream_protocol.h).
// Plain code over one fixed buffer: no sockets, no threads of its own.
//
// Rules, applied while more than 8 bytes are buffered:
//  - Resynchronisation: with 17 or more bytes buffered, everything before
//    the first position holding '0' and then "dc", "wb" or "tx" at +2 is
//    dropped; with no such position all but the last 16 bytes go.
//  - A length is read only at an id; bytes that start with no id wait for
//    more. A length outside 0..100,000 is a framing error: the whole buffer
//    is dropped.
//  - A chunk of payload length L is handled once the id of the header that
//    follows it is buffered too (L + 12 bytes), so that id can be checked:
//    '0', then one of d/w/t and one of c/b/x. A chunk not followed by such a
//    header is a framing error too. Waiting for no more than that id matters
//    to live viewing: the last chunk a unit sends in a frame period is
//    followed by only a few hundred bytes before the next period, and a
//    frame held back for a look-ahead would be shown a period late.
// Everything the unit sends is untrusted: no length read from the stream
// decides memory use, and no read leaves the buffered bytes.
//
// Threads: one thread at a time (the receive thread).
class ChunkHandler {
 public:
  static constexpr std::size_t kDefaultCapacity = 20000000;
  static constexpr std::size_t kMaxReceive = 8000;
  // Bytes of the following header that must be buffered: its id.
  static constexpr std::size_t kLookAhead = 4;

  explicit ChunkHandler(std::size_t capacity = kDefaultCapacity);

  // Where the next receive writes and how much it may write: at most
  // kMaxReceive bytes, and none once the buffer is full.
  uint8_t* ReceiveSpace() { return buffer_.data() + start_ + fill_; }
  std::size_t ReceiveRoom() const;
  // `count` bytes were written at ReceiveSpace() (at most ReceiveRoom()).
  void Commit(std::size_t count);
  // Copies up to ReceiveRoom() bytes of `data` in; returns how many.
  std::size_t Append(const uint8_t* data, std::size_t length);

  // Hands on every complete chunk buffered and keeps the rest.
  void Handle(ChunkSink& sink);

  std::size_t Fill() const { return fill_; }
  // Bytes dropped so far by resynchronisation and by framing errors.
  uint64_t DroppedBytes() const { return dropped_; }
  uint64_t FramingErrors() const { return framingErrors_; }
  // Empties the buffer (not counted as dropped).
  void Clear() { start_ = fill_ = 0; }

 private:
  void Drop(std::size_t count);

  std::vector<uint8_t> buffer_;
  // The buffered bytes are buffer_[start_, start_ + fill_): consumed chunks
  // only move start_, and the rest moves to the front only when the room
  // behind it gets short, so a frame that waits for more receives is not
  // moved once per receive.
  std::size_t start_ = 0;
  std::size_t fill_ = 0;
  uint64_t dropped_ = 0;
  uint64_t framingErrors_ = 0;
};
