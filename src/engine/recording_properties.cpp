#include "engine/recording_properties.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <vector>

namespace {

constexpr std::size_t kNameMaxBytes = 255;

// The configuration lines of one window of file bytes. Every read is bounded
// by the window, so a key near its end or a value without terminator never
// reads past it.
class Window {
 public:
  explicit Window(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::size_t size() const { return bytes_.size(); }
  uint8_t& operator[](std::size_t i) { return bytes_[i]; }

  bool Has(std::size_t at, const char* key) const {
    const std::size_t n = std::strlen(key);
    return at <= bytes_.size() && n <= bytes_.size() - at && std::memcmp(bytes_.data() + at, key, n) == 0;
  }

  uint8_t Byte(std::size_t at) const { return at < bytes_.size() ? bytes_[at] : 0; }

  // Text from `at` up to the first NUL (or `stopAt` when given), ending no
  // later than `end`.
  std::string Text(std::size_t at, std::size_t end, char stopAt = '\0') const {
    end = std::min(end, bytes_.size());
    std::string text;
    for (std::size_t i = at; i < end; ++i) {
      const char c = char(bytes_[i]);
      if (c == '\0' || (stopAt != '\0' && c == stopAt)) break;
      text += c;
    }
    return text;
  }

  const uint8_t* data() const { return bytes_.data(); }

 private:
  std::vector<uint8_t> bytes_;
};

// "set trigger.name" + one or two digits + blank: the trigger number, or 0
// when the line is not one. The value starts 18 bytes after the key.
int TriggerLineNumber(const Window& w, std::size_t at) {
  if (!w.Has(at, "set trigger.name")) return 0;
  const auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
  const uint8_t d1 = w.Byte(at + 16), d2 = w.Byte(at + 17);
  if (!digit(d1)) return 0;
  if (d2 == ' ') return d1 - '0' == 0 ? -1 : d1 - '0';
  if (digit(d2) && w.Byte(at + 18) == ' ') {
    const int n = (d1 - '0') * 10 + (d2 - '0');
    return n == 0 ? -1 : n;
  }
  return 0;
}

// A trigger line names trigger N - 1 when 1 <= N <= 11; any trigger line at
// all tells that the file carries its own names.
void ApplyTriggerLine(const Window& w, std::size_t at, RecordingProperties& props) {
  const int n = TriggerLineNumber(w, at);
  if (n == 0) return;
  props.noTriggerNames = false;
  if (n >= 1 && n <= kTriggerCount) props.triggerNames[n - 1] = w.Text(at + 18, at + 18 + kNameMaxBytes);
}

void ApplyAudioValue(const Window& w, std::size_t at, std::string& text) {
  if (w.Has(at, "OFF")) {
    text = "Audio Disabled";
  } else if (w.Has(at, "ON")) {
    text = "Audio Enabled";
  }
}

// Only the main header of a well-formed AVI is ever rewritten: "avih" may
// also occur by chance inside frame data, which must not be touched.
bool IsMainHeaderAt(const Window& w, std::size_t at) {
  return at == 24 && w.Has(0, "RIFF") && w.Has(8, "AVI ") && w.Has(12, "LIST") && w.Has(20, "hdrl") &&
         w.Byte(at + 4) >= 56;
}

std::vector<uint8_t> ReadAt(std::ifstream& file, uint64_t offset, std::size_t count) {
  std::vector<uint8_t> bytes(count);
  file.seekg(std::streamoff(offset));
  file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(count));
  bytes.resize(std::size_t(std::max<std::streamsize>(file.gcount(), 0)));
  return bytes;
}

}  // namespace

bool WriteHeaderByte(const std::filesystem::path& path, uint64_t offset, uint8_t value) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  if (!file) return false;
  file.seekp(std::streamoff(offset));
  file.put(char(value));
  file.flush();
  return bool(file);
}

int64_t ParseConfigNumber(const uint8_t* text, std::size_t size) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const uint8_t c = text[i];
    if (c == ',') continue;
    if (c < '0' || c > '9') break;
    const int d = c - '0';
    value = value > (kMax - d) / 10 ? kMax : value * 10 + d;
  }
  return value;
}

int ReadRecordingProperties(const std::filesystem::path& path, RecordingProperties& props,
                            HeaderCorrection correction) {
  return ReadRecordingProperties(path, props, correction, &WriteHeaderByte);
}

int ReadRecordingProperties(const std::filesystem::path& path, RecordingProperties& props,
                            HeaderCorrection correction, HeaderByteWriter writer) {
  props.dvrTitle = "Unknown DVR";
  props.noTriggerNames = true;

  std::ifstream file(path, std::ios::binary);
  if (!file) return kPropertiesCannotOpen;
  file.seekg(0, std::ios::end);
  const std::streamoff end = file.tellg();
  if (end < 0) return kPropertiesCannotOpen;
  const uint64_t fileSize = uint64_t(end);
  if (fileSize < kPropertiesScanBytes) return kPropertiesOk;

  Window head(ReadAt(file, 0, kPropertiesScanBytes));
  for (std::size_t i = 0; i < kPropertiesScanEnd && i < head.size(); ++i) {
    if (head.Has(i, "avih") && head.Byte(i + 32) == 1 && IsMainHeaderAt(head, i)) {
      props.headerCorrectionNeeded = true;
      if (correction == HeaderCorrection::kApply) {
        if (!writer(path, i + 32, 2)) return kPropertiesCannotCorrect;
        head[i + 32] = 2;
      }
    }
    if (head.Has(i, "set system.title-1 ")) {
      props.dvrTitle = head.Text(i + 19, kPropertiesScanEnd, '.');
    }
    ApplyTriggerLine(head, i, props);
    if (head.Has(i, "set gps.enable ")) {
      props.gpsText = head.Has(i + 15, "YES") ? "GPS Enabled" : "GPS Disabled";
    }
    if (head.Has(i, "set dvr.version ")) props.dvrVersion = head.Text(i + 16, head.size());
    if (head.Has(i, "set camera-")) {
      const uint8_t camera = head.Byte(i + 11);
      if (camera >= '1' && camera <= '4') {
        const std::size_t c = camera - '1';
        if (head.Has(i + 12, ".audio ")) ApplyAudioValue(head, i + 19, props.audioText[c]);
        if (head.Has(i + 12, ".audioEnable ")) ApplyAudioValue(head, i + 25, props.audioText[c]);
        if (head.Has(i + 12, ".bitRate ")) {
          const std::string digits = head.Text(i + 21, head.size(), '.');
          const int64_t rate =
              ParseConfigNumber(reinterpret_cast<const uint8_t*>(digits.data()), digits.size());
          props.bitRateText[c] = std::to_string(rate / 1000) + " kbit/s";
        }
      }
    }
    if (head.Has(i, "JUNK") && head.Has(i + 8, "MDVR")) props.dvrVersion = head.Text(i + 208, head.size());
  }

  if (props.noTriggerNames) {
    // Clip extraction appends its settings block at the end of the file.
    Window tail(ReadAt(file, fileSize - kPropertiesTailBytes, kPropertiesTailBytes));
    for (std::size_t p = 0; p + 20 < tail.size(); ++p) {
      if (tail.Has(p, "set system.title-1")) props.dvrTitle = tail.Text(p + 18, p + 18 + kNameMaxBytes);
      ApplyTriggerLine(tail, p, props);
    }
  }

  props.triggerList = JoinTriggerNames(props.triggerNames);
  props.byteTotal += int64_t(fileSize);
  props.sizeText = std::to_string(props.byteTotal / 1000000) + " mb";
  return kPropertiesOk;
}
