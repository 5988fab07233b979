#pragma once

#include <string>
#include <string_view>

// The DVR writes its text lines and configuration values in Windows-1252
// (0xB0, the degree sign, in every coordinate line). Whatever the player
// writes for other programs is UTF-8, so those texts pass through here on
// their way out.
//
// Every byte maps to one code point: ASCII unchanged, 0xA0..0xFF to
// U+00A0..U+00FF, 0x80..0x9F to the characters Windows gives them (the euro
// sign, typographic quotes, ...). The five bytes Windows leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same value,
// as web browsers decode them, so nothing is lost.
std::string Utf8FromWindows1252(std::string_view text);
