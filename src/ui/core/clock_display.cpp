#include "ui/core/clock_display.h"

#include <cstdio>
#include <ctime>
#include <optional>

#include "metadata/clock_text.h"

const char* ClockSettingText(ClockShown clock) {
  switch (clock) {
    case ClockShown::kUtc:
      return "UTC";
    case ClockShown::kComputer:
      return "Computer";
    case ClockShown::kRecording:
      break;
  }
  return "Recording";
}

ClockShown ClockFromSetting(const std::string& text) {
  if (text == "UTC") return ClockShown::kUtc;
  if (text == "Computer") return ClockShown::kComputer;
  return ClockShown::kRecording;
}

int64_t ComputerZoneOffset(int64_t utcSeconds) {
  const std::time_t t = std::time_t(utcSeconds);
  std::tm local{};
  if (!localtime_r(&t, &local)) return 0;
  return local.tm_gmtoff;
}

std::string ClockLine(ClockShown clock, const std::string& utcText, const std::string& localText,
                      int64_t correctionMillis) {
  std::string label = "Local Time-", shown = localText, zone;
  if (clock == ClockShown::kUtc) {
    label = "UTC Time-";
    shown = utcText;
  } else if (clock == ClockShown::kComputer) {
    label = "Computer Time-";
    shown = utcText;
    if (const std::optional<int64_t> utc = ParseRecorderTime(utcText)) {
      const int64_t offset = ComputerZoneOffset(*utc / 1000 - (*utc % 1000 < 0));
      shown = *CorrectedTimeText(utcText, offset * 1000);
      char text[32];
      std::snprintf(text, sizeof text, " UTC%c%02lld:%02lld", offset < 0 ? '-' : '+',
                    static_cast<long long>((offset < 0 ? -offset : offset) / 3600),
                    static_cast<long long>((offset < 0 ? -offset : offset) / 60 % 60));
      zone = text;
    }
  }
  std::string line = label + shown + zone;
  if (correctionMillis != 0)
    if (const std::optional<std::string> corrected = CorrectedTimeText(shown, correctionMillis))
      line += ", corrected " + *corrected + zone + " (" + FormatClockCorrection(correctionMillis) + ")";
  return line;
}
