#pragma once

// RIFF/AVI on-disk structures shared by the AVI reader and writer.
// Everything in an AVI file is little-endian; these helpers read and write
// explicit bytes so the code does not depend on host layout or alignment.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace avi {

using FourCC = uint32_t;

constexpr FourCC MakeFourCC(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}

inline std::string FourCCText(FourCC f) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[i] = char((f >> (8 * i)) & 0xFF);
  return s;
}

inline uint16_t ReadLE16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t ReadLE32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t ReadLE64(const uint8_t* p) {
  return uint64_t(ReadLE32(p)) | uint64_t(ReadLE32(p + 4)) << 32;
}
inline void WriteLE16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void WriteLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void WriteLE64(uint8_t* p, uint64_t v) {
  WriteLE32(p, uint32_t(v));
  WriteLE32(p + 4, uint32_t(v >> 32));
}

inline constexpr FourCC kRIFF = MakeFourCC("RIFF");
inline constexpr FourCC kAVI = MakeFourCC("AVI ");
inline constexpr FourCC kAVIX = MakeFourCC("AVIX");
inline constexpr FourCC kLIST = MakeFourCC("LIST");
inline constexpr FourCC kHdrl = MakeFourCC("hdrl");
inline constexpr FourCC kAvih = MakeFourCC("avih");
inline constexpr FourCC kStrl = MakeFourCC("strl");
inline constexpr FourCC kStrh = MakeFourCC("strh");
inline constexpr FourCC kStrf = MakeFourCC("strf");
inline constexpr FourCC kStrn = MakeFourCC("strn");
inline constexpr FourCC kIndx = MakeFourCC("indx");
inline constexpr FourCC kVprp = MakeFourCC("vprp");
inline constexpr FourCC kOdml = MakeFourCC("odml");
inline constexpr FourCC kDmlh = MakeFourCC("dmlh");
inline constexpr FourCC kMovi = MakeFourCC("movi");
inline constexpr FourCC kRec = MakeFourCC("rec ");
inline constexpr FourCC kIdx1 = MakeFourCC("idx1");
inline constexpr FourCC kJUNK = MakeFourCC("JUNK");
inline constexpr FourCC kVids = MakeFourCC("vids");
inline constexpr FourCC kAuds = MakeFourCC("auds");
inline constexpr FourCC kTxts = MakeFourCC("txts");
inline constexpr FourCC kMJPG = MakeFourCC("MJPG");
inline constexpr FourCC kH264 = MakeFourCC("H264");

// Sizes of the fixed headers (the chunk payloads, without the 8-byte chunk
// header).
inline constexpr std::size_t kMainHeaderBytes = 56;    // avih
inline constexpr std::size_t kStreamHeaderBytes = 56;  // strh
inline constexpr std::size_t kBitmapInfoBytes = 40;    // strf of a video stream
inline constexpr std::size_t kWaveFormatBytes = 18;    // strf of an audio stream (WAVEFORMATEX)
inline constexpr std::size_t kIdx1EntryBytes = 16;

// avih, decoded.
struct MainHeader {
  uint32_t microSecPerFrame = 0;
  uint32_t maxBytesPerSec = 0;
  uint32_t paddingGranularity = 0;
  uint32_t flags = 0;
  uint32_t totalFrames = 0;
  uint32_t initialFrames = 0;
  uint32_t streams = 0;
  uint32_t suggestedBufferSize = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

// strh, decoded.
struct StreamHeader {
  FourCC type = 0;     // vids, auds, txts, ...
  FourCC handler = 0;  // MJPG, H264, ...
  uint32_t flags = 0;
  uint16_t priority = 0;
  uint16_t language = 0;
  uint32_t initialFrames = 0;
  uint32_t scale = 0;
  uint32_t rate = 0;
  uint32_t start = 0;
  uint32_t length = 0;
  uint32_t suggestedBufferSize = 0;
  uint32_t quality = 0;
  uint32_t sampleSize = 0;
  int16_t frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
};

inline constexpr uint32_t kAvifHasIndex = 0x10;
inline constexpr uint32_t kAviifKeyframe = 0x10;
inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatMuLaw = 7;
inline constexpr uint16_t kWaveFormatALaw = 6;

MainHeader ParseMainHeader(const uint8_t* p);  // p: kMainHeaderBytes
void SerializeMainHeader(const MainHeader& h, uint8_t* out);
StreamHeader ParseStreamHeader(const uint8_t* p);  // p: kStreamHeaderBytes
void SerializeStreamHeader(const StreamHeader& h, uint8_t* out);

// The display aspect (width to height) that an OpenDML video properties
// header (`vprp`) states in its dwFrameAspectRatio (X in the high 16 bits,
// Y in the low: 0x00100009 is 16:9); 0 when the header is too short, states
// none, or states one no display has (beyond 1:8 or 8:1).
double StatedFrameAspect(const std::vector<uint8_t>& vprp);
// A `vprp` payload for a progressive picture of width x height shown at
// aspectX:aspectY, `refreshHz` frames a second (one field description).
std::vector<uint8_t> MakeVideoProperties(uint32_t width, uint32_t height, uint16_t aspectX, uint16_t aspectY,
                                         uint32_t refreshHz);

// Chunk id of stream `index` for a two-letter kind ("dc" compressed video,
// "db" uncompressed video, "wb" audio, "tx" text): "00dc", "01wb", ...
FourCC StreamChunkId(unsigned index, const char (&kind)[3]);
// The stream number of a "NNxx" chunk id, or -1 when it is not one.
int StreamIndexOfChunkId(FourCC id);

}  // namespace avi
