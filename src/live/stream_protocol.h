#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The byte layout a DVR unit and the player agree on. All fields are
// little-endian.
//
// Request (player → unit, 12 bytes, sent once per connection and again when
// the wanted channels change): "STRM", 4 reserved zero bytes, the channel
// mask (bit k asks for channel k + 1).
//
// Chunk (unit → player, back to back): '0', a stream digit '0'..'7'
// (channel = digit / 2), two kind letters "dc" (JPEG frame), "wb" (μ-law
// audio) or "tx" (56-byte metadata sample), a signed 32-bit payload length
// 0..kMaxChunkPayload, then the payload.

inline constexpr uint16_t kDefaultDvrPort = 1234;
inline constexpr std::size_t kStreamRequestBytes = 12;
inline constexpr std::size_t kChunkHeaderBytes = 8;
inline constexpr int32_t kMaxChunkPayload = 100000;
inline constexpr uint32_t kInitialChannelMask = 1;

using StreamRequest = std::array<uint8_t, kStreamRequestBytes>;

StreamRequest MakeStreamRequest(uint32_t channelMask);

enum class ChunkKind { kVideo, kAudio, kText, kOther };

// The kind a chunk id's letters (bytes 2 and 3) name.
ChunkKind ChunkKindOf(const uint8_t* id);
// Channel 0..3 from the stream digit (byte 1); any other byte is channel 0.
int ChunkChannel(uint8_t streamDigit);
// A complete chunk as a unit sends it (the simulator and tests build streams
// with it). `stream` is the stream digit's value 0..7, `kind` "dc", "wb" or
// "tx".
std::string MakeChunk(int stream, const char* kind, const uint8_t* payload, std::size_t length);

// Where to reach a unit: "HOST", "HOST:PORT" or "[IPv6]:PORT"; a bare IPv6
// address without brackets is taken whole as the host. Hosts are numeric
// addresses (no name lookup, so connecting never waits on a resolver); the
// port defaults to kDefaultDvrPort. Nothing for an empty host or a port
// outside 1..65535.
struct DvrAddress {
  std::string host;
  uint16_t port = kDefaultDvrPort;
};
std::optional<DvrAddress> ParseDvrAddress(const std::string& text);
