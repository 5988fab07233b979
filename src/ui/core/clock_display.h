#pragma once

#include <cstdint>
#include <string>

// Which clock the banner's time line shows: the recording's local time as
// the recorder wrote it (the default), its UTC time, or the UTC time in this
// computer's time zone. Stored as the Clock setting.
enum class ClockShown { kRecording, kUtc, kComputer };

// "Recording", "UTC", "Computer"; an unknown or empty text reads as kRecording.
const char* ClockSettingText(ClockShown clock);
ClockShown ClockFromSetting(const std::string& text);

// The UTC offset of this computer's time zone at `utcSeconds` (daylight
// saving included), in seconds east of Greenwich; follows TZ.
int64_t ComputerZoneOffset(int64_t utcSeconds);

// The banner's time line from the record's "UTC Time" and "Local Time"
// texts: "Local Time-3-1-2011  14:05:09.007" (the recorder's own line),
// "UTC Time-…", or "Computer Time-… UTC+01:00"; with a nonzero correction
// the corrected time follows the recorded one:
// "Local Time-3-1-2011  14:05:09.007, corrected 3-1-2011  14:07:22.007 (+0:02:13)".
// A text that is no time is shown as it is, uncorrected.
std::string ClockLine(ClockShown clock, const std::string& utcText, const std::string& localText,
                      int64_t correctionMillis);
