#include <gtest/gtest.h>

#include "ui/core/dvr_text.h"
#include "ui/core/window_messages.h"

namespace {

TEST(DvrText, Windows1252BecomesUtf8) {
  struct Case {
    std::string in, out;
  };
  const std::vector<Case> cases = {
      {"Bus 12", "Bus 12"},
      {"21\xB0"
       "C",
       "21\xC2\xB0"
       "C"},                         // degree sign
      {"\x80 5", "\xE2\x82\xAC 5"},  // euro
      {"\x93quoted\x94", "\xE2\x80\x9Cquoted\xE2\x80\x9D"},
      {"Stra\xDF"
       "e",
       "Stra\xC3\x9F"
       "e"},
      {"\x8F", "\xEF\xBF\xBD"},  // undefined in Windows-1252
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DvrTextToUtf8(c.in), c.out) << c.in;
  EXPECT_EQ(VideoTypeText(0), "MJPG Video Source");
  EXPECT_EQ(VideoTypeText(1), "H264 Video Source");
  EXPECT_EQ(VideoTypeText(2), "");
  EXPECT_EQ(VideoTypeText(-1), "");
}

}  // namespace
