#include "engine/recording_layout.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

uint8_t ByteAt(const uint8_t* bytes, std::size_t size, std::size_t offset) {
  return offset < size ? bytes[offset] : 0;
}

uint16_t Le16At(const uint8_t* bytes, std::size_t size, std::size_t offset) {
  return uint16_t(ByteAt(bytes, size, offset) | ByteAt(bytes, size, offset + 1) << 8);
}

// Reads up to `want` bytes from the start of the file; empty when it can't be opened.
std::vector<uint8_t> ReadHead(const std::filesystem::path& path, std::size_t want, uint64_t* fileSize) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  file.seekg(0, std::ios::end);
  const std::streamoff end = file.tellg();
  if (fileSize) *fileSize = end > 0 ? uint64_t(end) : 0;
  file.seekg(0);
  std::vector<uint8_t> bytes(want);
  file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(want));
  bytes.resize(std::size_t(file.gcount()));
  return bytes;
}

bool Contains(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

char FifthChar(const std::string& name) {
  return name.size() > 4 ? name[4] : '\0';
}
char FirstChar(const std::string& name) {
  return name.empty() ? '\0' : name[0];
}

// The numeric value of the name's last character (0 when it is not a digit).
int LastDigit(const std::string& name) {
  if (name.empty()) return 0;
  const unsigned char c = static_cast<unsigned char>(name.back());
  return std::isdigit(c) ? c - '0' : 0;
}

}  // namespace

DvrLayout DetectDvrKindFromHeader(const uint8_t* bytes, std::size_t size) {
  if (Le16At(bytes, size, 16) == 0x017C) {
    // The original two-channel DVR writes a 380-byte header list.
    if (ByteAt(bytes, size, 68) == 0xE0) return DvrLayout::kTwoChannelStacked;
    switch (ByteAt(bytes, size, 64)) {
      case 0x80:
        return DvrLayout::kTwoChannelWide;
      case 0x40:
        return DvrLayout::kTwoChannelTextLines;
      default:
        return DvrLayout::kFourChannel;
    }
  }
  const uint16_t width = Le16At(bytes, size, 64);
  const uint16_t height = Le16At(bytes, size, 68);
  if (width == 320 && height == 480) return DvrLayout::kTwoChannelStacked;
  if (width == 640 && height == 240) return DvrLayout::kTwoChannelWide;
  return DvrLayout::kFourChannel;
}

DvrLayout DetectDvrKind(const std::filesystem::path& path) {
  const std::vector<uint8_t> head = ReadHead(path, kDvrKindHeaderBytes, nullptr);
  return DetectDvrKindFromHeader(head.data(), head.size());
}

bool DetectH264InHeader(const uint8_t* bytes, std::size_t size, uint64_t fileSize) {
  if (fileSize <= kH264ProbeBytes || size < kH264ProbeBytes) return false;
  for (std::size_t i = 0; i <= kH264ProbeBytes - 11; ++i) {
    if (std::memcmp(bytes + i, "H264", 4) == 0) return true;
  }
  return false;
}

bool DetectH264(const std::filesystem::path& path) {
  uint64_t fileSize = 0;
  const std::vector<uint8_t> head = ReadHead(path, kH264ProbeBytes, &fileSize);
  return DetectH264InHeader(head.data(), head.size(), fileSize);
}

bool PinMatchesStreamType(const std::string& name, int streamType) {
  const char first = FirstChar(name);
  const char fifth = FifthChar(name);
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  switch (streamType) {
    case kAnyStream:
      return true;
    case kVideoStream:
      return first == 'C' || first == 'V' || fifth == 'C' || name == "Stream 00" || name == "Stream 02" ||
             name == "Stream 04" || name == "Stream 06" || Contains(upper, "VIDEO") ||
             Contains(upper, "CAMERA");
    case kAudioStream:
      return first == 'A' || fifth == 'A' || name == "Stream 01" || name == "Stream 03" ||
             name == "Stream 05" || name == "Stream 07" || Contains(upper, "AUDIO");
    case kMetadataStream:
      return first == 'M' || first == 'T' || fifth == 'M' || name == "Stream 08";
    default:
      return false;
  }
}

bool PinMatchesChannel(const std::string& name, int channel) {
  const int v = LastDigit(name);
  // "Camera (1) 1"-style names count cameras from 1; plain ones interleave
  // video and audio like the "Stream" names.
  const int countedFromOne = Contains(name, ")") ? v - 1 : v / 2;
  if (Contains(name, "Camera") && countedFromOne != channel) return false;
  if (Contains(name, "Audio") && countedFromOne != channel) return false;
  if (Contains(name, "Stream") && v / 2 != channel) return false;
  return true;
}

int PinChannel(const std::string& name) {
  if (!Contains(name, "Camera") && !Contains(name, "Audio") && !Contains(name, "Stream")) return -1;
  for (int channel = 0; channel < 4; ++channel) {
    if (PinMatchesChannel(name, channel)) return channel;
  }
  return -1;
}

std::string StreamPinName(int streamIndex, const std::string& storedName) {
  if (!storedName.empty()) return storedName;
  char name[32];
  std::snprintf(name, sizeof name, "Stream %02d", streamIndex);
  return name;
}

int FindPin(const std::vector<PinDescription>& pins, PinDirection direction, int index, int streamType,
            bool byChannel) {
  int count = 0;
  for (std::size_t i = 0; i < pins.size(); ++i) {
    const PinDescription& pin = pins[i];
    if (pin.direction != direction) continue;
    if (!PinMatchesStreamType(pin.name, streamType)) continue;
    if (byChannel && streamType != kAnyStream && !PinMatchesChannel(pin.name, index)) continue;
    if (byChannel || count == index) return int(i);
    ++count;
  }
  return -1;
}
