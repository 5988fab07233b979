#pragma once

#include <string>

// The player's persistent settings: flat named text values in an INI file of
// the user's config folder (organisation "QMX", application "Player";
// XDG_CONFIG_HOME moves it). Numbers and flags are stored as text and parsed
// by their users, who also apply their own defaults.
//
// Nothing is cached: every read goes to the file and every write reaches the
// disk before WriteSetting returns, so a value written by one dialog is seen
// by the next read anywhere. The file is kept private (mode 0600) because it
// holds the proxy password.
//
// Threads: any thread; no state is kept between calls.

// The value's text, or "" when it is absent, unreadable, or 1,024 characters
// or longer (such a value does not fit the store's read limit and reads as
// absent).
std::string ReadSetting(const std::string& name);

// Stores `value` under `name`. A failure (folder not writable, disk full) is
// silent: nothing is written and nothing is reported.
void WriteSetting(const std::string& name, const std::string& value);

// Path of the settings file (for diagnostics and tests).
std::string SettingsFilePath();

// The unit speeds are shown and exported in: "km/h" or "mph" (the default).
inline constexpr const char* kSpeedUnitSetting = "SpeedUnit";
// The clock the banner shows: "Recording" (its local time, the default), "UTC", "Computer".
inline constexpr const char* kClockSetting = "Clock";
