// Fuzz target: ChunkHandler over a byte stream from a DVR unit. The input's
// first byte chooses how the stream is split into receives (1 to 256 bytes
// each), the rest is the stream. Checks what the receive thread relies on:
// every chunk handed on lies inside the bytes received, is at most 100,000
// bytes and names a channel 0..3, and every byte received is either handed
// on, dropped or still buffered.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "live/chunk_handler.h"
#include "live/stream_protocol.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

class CheckingSink : public ChunkSink {
 public:
  void OnVideoChunk(int channel, const uint8_t* data, std::size_t length) override {
    Take(channel, data, length);
  }
  void OnAudioChunk(int channel, const uint8_t* data, std::size_t length) override {
    Take(channel, data, length);
  }
  void OnTextChunk(const uint8_t* data, std::size_t length) override { Take(0, data, length); }
  void SetBuffer(const uint8_t* begin, const uint8_t* end) {
    begin_ = begin;
    end_ = end;
  }
  uint64_t consumed = 0;

 private:
  void Take(int channel, const uint8_t* data, std::size_t length) {
    Check(channel >= 0 && channel <= 3);
    Check(length <= std::size_t(kMaxChunkPayload));
    Check(data >= begin_ + kChunkHeaderBytes && data + length <= end_);
    uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum += data[i];
    (void)sum;
    consumed += kChunkHeaderBytes + length;
  }
  const uint8_t* begin_ = nullptr;
  const uint8_t* end_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = std::size_t(data[0]) + 1;
  ++data;
  --size;
  // Small enough that a long input fills it, so the full-buffer path runs.
  ChunkHandler handler(64 * 1024);
  CheckingSink sink;
  uint64_t received = 0;
  while (size > 0) {
    const std::size_t room = handler.ReceiveRoom();
    if (room == 0) {
      handler.Clear();  // what a reconnect after a stalled buffer leaves
      continue;
    }
    const std::size_t n = handler.Append(data, std::min({piece, size, room}));
    Check(n > 0);
    data += n;
    size -= n;
    received += n;
    const std::size_t before = handler.Fill();
    sink.SetBuffer(handler.ReceiveSpace() - before, handler.ReceiveSpace());
    handler.Handle(sink);
    Check(handler.Fill() <= before);
  }
  (void)received;
  return 0;
}
