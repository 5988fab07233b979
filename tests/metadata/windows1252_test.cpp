#include <gtest/gtest.h>

#include <string>

#include "metadata/windows1252.h"

namespace {

TEST(Utf8FromWindows1252, MapsEveryKindOfByte) {
  struct Row {
    std::string in, out;
  };
  const Row rows[] = {
      {"", ""},
      {"Lat 49 16' 27\"", "Lat 49 16' 27\""},  // ASCII stays as it is
      {"49\xB0"
       "16'",
       "49\xC2\xB0"
       "16'"},                             // the degree sign of the coordinate lines
      {"\xA0", "\xC2\xA0"},                // first of the Latin-1 half
      {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},  // é
      {"\xFF", "\xC3\xBF"},                // ÿ, the last byte
      {"\x80", "\xE2\x82\xAC"},            // euro sign
      {"\x85", "\xE2\x80\xA6"},            // ellipsis
      {"\x91\x92\x93\x94", "\xE2\x80\x98\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D"},  // quotes
      {"\x8A\x9A", "\xC5\xA0\xC5\xA1"},                                          // Š š
      {"\x83", "\xC6\x92"},                                                      // ƒ
      {"\x99", "\xE2\x84\xA2"},                                                  // ™
      {"\x9F", "\xC5\xB8"},                                                      // Ÿ, the last of 0x80..0x9F
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},      // unassigned: C1 controls
      {std::string("a\0b", 3), std::string("a\0b", 3)},                          // a NUL passes through
  };
  for (const Row& row : rows) EXPECT_EQ(Utf8FromWindows1252(row.in), row.out) << row.in;
}

}  // namespace
