#pragma once

#include <cstdint>
#include <string>

// Orders the date-stamped recordings of a folder by the date and time in
// their names: "..._Mar05_2009_14-30-59.avi" style names, a date part of
// 11 characters after the second-last "_" and a time part of more than 7
// between the last "_" and the last ".". The key counts seconds in a
// calendar of 31-day months and 372-day years from 1980 (32-bit, wraps):
// good for ordering only. Names that don't follow the pattern give 0.
// `name` is the file name without its folder.
uint32_t FileOrderKey(const std::string& name);
