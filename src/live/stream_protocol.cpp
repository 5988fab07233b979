#include "live/stream_protocol.h"

#include <charconv>

namespace {

void PutLe32(uint8_t* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = uint8_t(v >> (8 * i));
}

}  // namespace

StreamRequest MakeStreamRequest(uint32_t channelMask) {
  StreamRequest r{'S', 'T', 'R', 'M'};
  PutLe32(r.data() + 8, channelMask);
  return r;
}

ChunkKind ChunkKindOf(const uint8_t* id) {
  if (id[2] == 'd' && id[3] == 'c') return ChunkKind::kVideo;
  if (id[2] == 'w' && id[3] == 'b') return ChunkKind::kAudio;
  if (id[2] == 't' && id[3] == 'x') return ChunkKind::kText;
  return ChunkKind::kOther;
}

int ChunkChannel(uint8_t streamDigit) {
  return streamDigit >= '0' && streamDigit <= '7' ? (streamDigit - '0') / 2 : 0;
}

std::string MakeChunk(int stream, const char* kind, const uint8_t* payload, std::size_t length) {
  std::string chunk(kChunkHeaderBytes, '\0');
  chunk[0] = '0';
  chunk[1] = char('0' + stream);
  chunk[2] = kind[0];
  chunk[3] = kind[1];
  PutLe32(reinterpret_cast<uint8_t*>(chunk.data()) + 4, uint32_t(length));
  chunk.append(reinterpret_cast<const char*>(payload), length);
  return chunk;
}

std::optional<DvrAddress> ParseDvrAddress(const std::string& text) {
  DvrAddress address;
  std::string portText;
  if (!text.empty() && text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string::npos) return std::nullopt;
    address.host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      portText = rest.substr(1);
      if (portText.empty()) return std::nullopt;
    }
  } else {
    const auto colon = text.find(':');
    // Two or more colons without brackets: an IPv6 address with no port.
    if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
      address.host = text.substr(0, colon);
      portText = text.substr(colon + 1);
      if (portText.empty()) return std::nullopt;
    } else {
      address.host = text;
    }
  }
  if (address.host.empty()) return std::nullopt;
  if (!portText.empty()) {
    unsigned port = 0;
    const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (ec != std::errc() || end != portText.data() + portText.size() || port == 0 || port > 65535)
      return std::nullopt;
    address.port = uint16_t(port);
  }
  return address;
}
