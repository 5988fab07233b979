#pragma once

#include <cstdint>
#include <string>

// Orders the date-stamped recordings of a folder by the date and time in
// their names ("Bus12_Mar05, 2009_14-30-59.avi"): a date part of exactly 11
// characters between the last two "_" (month abbreviation at 0..2, day at
// 3..4, year at 7..10) and a time part of more than 7 characters between
// the last "_" and the last "." (hours 0..1, minutes 3..4, seconds 6..7). The key counts seconds in a
// calendar of 31-day months and 372-day years from 1980 (32-bit, wraps):
// good for ordering only. Names that don't follow the pattern give 0.
// `name` is the file name without its folder.
uint32_t FileOrderKey(const std::string& name);

// The file name of a path: what follows its last "/" (the whole text
// without one).
std::string FileNameOf(const std::string& path);
