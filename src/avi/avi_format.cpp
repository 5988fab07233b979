#include "avi/avi_format.h"

namespace avi {

MainHeader ParseMainHeader(const uint8_t* p) {
  MainHeader h;
  h.microSecPerFrame = ReadLE32(p + 0);
  h.maxBytesPerSec = ReadLE32(p + 4);
  h.paddingGranularity = ReadLE32(p + 8);
  h.flags = ReadLE32(p + 12);
  h.totalFrames = ReadLE32(p + 16);
  h.initialFrames = ReadLE32(p + 20);
  h.streams = ReadLE32(p + 24);
  h.suggestedBufferSize = ReadLE32(p + 28);
  h.width = ReadLE32(p + 32);
  h.height = ReadLE32(p + 36);
  return h;
}

void SerializeMainHeader(const MainHeader& h, uint8_t* out) {
  std::memset(out, 0, kMainHeaderBytes);
  WriteLE32(out + 0, h.microSecPerFrame);
  WriteLE32(out + 4, h.maxBytesPerSec);
  WriteLE32(out + 8, h.paddingGranularity);
  WriteLE32(out + 12, h.flags);
  WriteLE32(out + 16, h.totalFrames);
  WriteLE32(out + 20, h.initialFrames);
  WriteLE32(out + 24, h.streams);
  WriteLE32(out + 28, h.suggestedBufferSize);
  WriteLE32(out + 32, h.width);
  WriteLE32(out + 36, h.height);
}

StreamHeader ParseStreamHeader(const uint8_t* p) {
  StreamHeader h;
  h.type = ReadLE32(p + 0);
  h.handler = ReadLE32(p + 4);
  h.flags = ReadLE32(p + 8);
  h.priority = ReadLE16(p + 12);
  h.language = ReadLE16(p + 14);
  h.initialFrames = ReadLE32(p + 16);
  h.scale = ReadLE32(p + 20);
  h.rate = ReadLE32(p + 24);
  h.start = ReadLE32(p + 28);
  h.length = ReadLE32(p + 32);
  h.suggestedBufferSize = ReadLE32(p + 36);
  h.quality = ReadLE32(p + 40);
  h.sampleSize = ReadLE32(p + 44);
  h.frameLeft = int16_t(ReadLE16(p + 48));
  h.frameTop = int16_t(ReadLE16(p + 50));
  h.frameRight = int16_t(ReadLE16(p + 52));
  h.frameBottom = int16_t(ReadLE16(p + 54));
  return h;
}

void SerializeStreamHeader(const StreamHeader& h, uint8_t* out) {
  std::memset(out, 0, kStreamHeaderBytes);
  WriteLE32(out + 0, h.type);
  WriteLE32(out + 4, h.handler);
  WriteLE32(out + 8, h.flags);
  WriteLE16(out + 12, h.priority);
  WriteLE16(out + 14, h.language);
  WriteLE32(out + 16, h.initialFrames);
  WriteLE32(out + 20, h.scale);
  WriteLE32(out + 24, h.rate);
  WriteLE32(out + 28, h.start);
  WriteLE32(out + 32, h.length);
  WriteLE32(out + 36, h.suggestedBufferSize);
  WriteLE32(out + 40, h.quality);
  WriteLE32(out + 44, h.sampleSize);
  WriteLE16(out + 48, uint16_t(h.frameLeft));
  WriteLE16(out + 50, uint16_t(h.frameTop));
  WriteLE16(out + 52, uint16_t(h.frameRight));
  WriteLE16(out + 54, uint16_t(h.frameBottom));
}

FourCC StreamChunkId(unsigned index, const char (&kind)[3]) {
  const char tens = char('0' + (index / 10) % 10);
  const char ones = char('0' + index % 10);
  return uint32_t(uint8_t(tens)) | uint32_t(uint8_t(ones)) << 8 | uint32_t(uint8_t(kind[0])) << 16 |
         uint32_t(uint8_t(kind[1])) << 24;
}

int StreamIndexOfChunkId(FourCC id) {
  const char a = char(id & 0xFF), b = char((id >> 8) & 0xFF);
  if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
  return (a - '0') * 10 + (b - '0');
}

namespace {

constexpr std::size_t kFrameAspectAt = 20;  // dwFrameAspectRatio in the vprp header

}  // namespace

double StatedFrameAspect(const std::vector<uint8_t>& vprp) {
  if (vprp.size() < kFrameAspectAt + 4) return 0;
  const uint32_t ratio = ReadLE32(&vprp[kFrameAspectAt]);
  const uint32_t x = ratio >> 16, y = ratio & 0xFFFFu;
  if (x == 0 || y == 0) return 0;
  const double aspect = double(x) / double(y);
  return aspect >= 0.125 && aspect <= 8 ? aspect : 0;
}

std::vector<uint8_t> MakeVideoProperties(uint32_t width, uint32_t height, uint16_t aspectX, uint16_t aspectY,
                                         uint32_t refreshHz) {
  // Nine header fields, then one field description of eight.
  const uint32_t fields[] = {0,     0,      refreshHz, width,  height, uint32_t(aspectX) << 16 | aspectY,
                             width, height, 1,         height, width,  height,
                             width, 0,      0,         0,      0};
  std::vector<uint8_t> out(sizeof fields);
  for (std::size_t i = 0; i < std::size(fields); ++i) WriteLE32(&out[4 * i], fields[i]);
  return out;
}

}  // namespace avi
