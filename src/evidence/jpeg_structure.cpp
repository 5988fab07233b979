#include "evidence/jpeg_structure.h"

#include <algorithm>

namespace evidence {
namespace {

constexpr uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kTem = 0x01;
constexpr std::size_t kTailSearchBytes = 256;

bool IsStartOfFrame(uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}
bool IsRestart(uint8_t m) {
  return m >= 0xD0 && m <= 0xD7;
}

}  // namespace

std::string JpegStructureProblem(const uint8_t* data, std::size_t length) {
  if (length < 4 || data[0] != 0xFF || data[1] != kSoi) return "no start-of-image marker";
  std::size_t pos = 2;
  bool frame = false, scan = false;
  while (true) {
    // Marker segments: 0xFF (any number of fill bytes) and the marker code.
    if (pos >= length) return scan ? "ends before its end-of-image marker" : "ends before its picture data";
    if (data[pos] != 0xFF) return "a marker segment is missing where one should start";
    while (pos < length && data[pos] == 0xFF) ++pos;
    if (pos >= length) return "ends inside a marker";
    const uint8_t marker = data[pos++];
    if (marker == kEoi) return scan ? "" : "ends before its picture data";
    if (marker == kSoi || IsRestart(marker) || marker == kTem || marker == 0x00)
      return "a marker out of place among the headers";
    if (pos + 2 > length) return "a marker segment is cut short";
    const std::size_t segment = std::size_t(data[pos]) << 8 | data[pos + 1];
    if (segment < 2 || pos + segment > length) return "a marker segment is cut short";
    if (IsStartOfFrame(marker)) {
      if (segment < 8) return "a frame header is cut short";
      const unsigned height = unsigned(data[pos + 3]) << 8 | data[pos + 4];
      const unsigned width = unsigned(data[pos + 5]) << 8 | data[pos + 6];
      const unsigned components = data[pos + 7];
      if (width == 0 || components == 0 || components > 4 || segment < 8 + 3 * components)
        return "a frame header describes no picture";
      (void)height;  // 0 is allowed: a later DNL marker may give it
      frame = true;
    }
    pos += segment;
    if (marker != kSos) continue;
    if (!frame) return "picture data before a frame header";
    // The picture data must end with the end-of-image marker. After it a
    // recorder may pad with zero or fill bytes, or keep a short tail of its
    // own (the text lines of the two-channel recorders). Inside picture data
    // 0xFF is never followed by 0xD9, so finding the pair near the end is
    // finding the marker.
    std::size_t end = length;
    while (end > pos && (data[end - 1] == 0x00 || data[end - 1] == 0xFF)) --end;
    const std::size_t from = end - std::min(end - pos, kTailSearchBytes);
    for (std::size_t i = end; i >= from + 2; --i) {
      if (data[i - 2] == 0xFF && data[i - 1] == kEoi) return "";
    }
    return "ends before its end-of-image marker";
  }
}

}  // namespace evidence
