// Fuzz target: the window's readers of DVR texts — the position decoding of
// the banner's text lines, the banner board fed with any label text, the
// date-stamped file-name order key and the Windows-1252 to UTF-8 conversion.
// The input is one text, used whole and cut at its first line break.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "metadata/windows1252.h"
#include "ui/core/banner_board.h"
#include "ui/core/file_order.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// "%.4f" with an optional "-": digits, a point, four digits.
void CheckDegrees(const std::optional<std::string>& text) {
  if (!text) return;
  const std::string& t = *text;
  const std::size_t start = !t.empty() && t[0] == '-' ? 1 : 0;
  const std::size_t point = t.find('.');
  Check(point != std::string::npos && point > start && t.size() == point + 5);
  for (std::size_t i = start; i < t.size(); ++i)
    Check(i == point || std::isdigit(static_cast<unsigned char>(t[i])));
}

void Exercise(const std::string& text) {
  for (const DecodedPosition& p : {DecodeLine2Position(text), DecodeLine3Position(text)}) {
    CheckDegrees(p.latitude);
    CheckDegrees(p.longitude);
  }
  BannerBoard board;
  for (const char* label : {"Line2", "Line3", "Latitude", "Longitude", "Triggers", "Line1"}) {
    board.Receive(label, text, text);
  }
  for (const std::string& line : board.Lines()) {
    for (char c : line) Check(c != '\x11' && c != '\x1A' && c != '\x8F');
  }
  (void)FileOrderKey(text);
  const std::string utf8 = Utf8FromWindows1252(text);
  Check(utf8.size() >= text.size() && utf8.size() <= 3 * text.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Exercise(text);
  Exercise(text.substr(0, text.find('\n')));
  return 0;
}
