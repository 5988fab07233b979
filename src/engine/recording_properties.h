#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "metadata/trigger_names.h"

// The DVR's configuration as recorded in a file: the texts of the File
// Properties dialog, the DVR title of the banner and clip extraction, and the
// trigger names of the metadata decoder.
//
// One object per open recording (the engine owns it); every file of a
// sequence is read into the same object, so values a later file lacks keep
// the earlier file's, and byteTotal adds up the sizes. Texts read "N/A" until
// something sets them.
// How the recording's pictures are compressed: the player decodes Motion-JPEG
// only, and names H264 when it refuses a file.
enum class VideoCoding { kMotionJpeg, kH264 };

struct RecordingProperties {
  std::string dvrTitle = "N/A";
  std::string dvrVersion = "N/A";
  std::string dvrType = "N/A";   // RecordingContext::TypeText of the file
  std::string sizeText = "N/A";  // "%lld mb" of byteTotal / 1,000,000
  std::string gpsText = "N/A";   // "GPS Enabled" / "GPS Disabled"
  std::string triggerList = "N/A";
  std::array<std::string, 4> formatText{"N/A", "N/A", "N/A", "N/A"};   // "%dx%d, %.2f fps"
  std::array<std::string, 4> audioText{"N/A", "N/A", "N/A", "N/A"};    // "Audio Enabled" / "Audio Disabled"
  std::array<std::string, 4> bitRateText{"N/A", "N/A", "N/A", "N/A"};  // "%d kbit/s"
  // The names the file sets on top of the defaults; the engine publishes them
  // with SetTriggerNames when the recording opens.
  TriggerNameList triggerNames = DefaultTriggerNames();
  int64_t byteTotal = 0;                            // sum of the sizes of the files read into this object
  bool noTriggerNames = true;                       // no "set trigger.name" line in the last file read
  VideoCoding h264Mode = VideoCoding::kMotionJpeg;  // set by pipeline building
  // Set when the file declares one stream in its main header; with
  // HeaderCorrection::kApply the header has been rewritten to two.
  bool headerCorrectionNeeded = false;
};

enum class HeaderCorrection {
  kApply,       // rewrite a one-stream main header in place (opening for playback)
  kReportOnly,  // never write; only set headerCorrectionNeeded (the --info mode)
};

inline constexpr int kPropertiesOk = 0;
inline constexpr int kPropertiesCannotOpen = 3;
inline constexpr int kPropertiesCannotCorrect = 6;

// The scanned window at the start of the file, and the tail scanned for the
// block that clip extraction appends.
inline constexpr std::size_t kPropertiesScanBytes = 10000;
inline constexpr std::size_t kPropertiesScanEnd = 9500;
inline constexpr std::size_t kPropertiesTailBytes = 1000;

// Reads the configuration lines of `path` into `props`:
// 0 done (also for a file shorter than 10,000 bytes, which changes nothing but
// the title, reset to "Unknown DVR"); 3 the file cannot be opened; 6 the
// one-stream header needs correcting and the file cannot be opened for
// writing. Called on the user-interface thread.
int ReadRecordingProperties(const std::filesystem::path& path, RecordingProperties& props,
                            HeaderCorrection correction = HeaderCorrection::kApply);

// How the corrected stream count reaches the file: writes `value` at byte
// `offset`; false when the file can't be opened for writing. A seam, so the
// failure can be tried where permissions do not stop the test user.
using HeaderByteWriter = bool (*)(const std::filesystem::path& path, uint64_t offset, uint8_t value);
bool WriteHeaderByte(const std::filesystem::path& path, uint64_t offset, uint8_t value);
int ReadRecordingProperties(const std::filesystem::path& path, RecordingProperties& props,
                            HeaderCorrection correction, HeaderByteWriter writer);

// The decimal value of a configuration number: digits with "," as thousands
// separators ("1,536,000"), ending at the first other character; saturates
// instead of overflowing.
int64_t ParseConfigNumber(const uint8_t* text, std::size_t size);
