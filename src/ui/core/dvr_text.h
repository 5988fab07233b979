#pragma once

#include <string>

// Texts from the DVR (titles, trigger names, banner lines) are single-byte
// Windows-1252; the window and everything written for other programs use
// UTF-8. Bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// become U+FFFD.
std::string DvrTextToUtf8(const std::string& text);
