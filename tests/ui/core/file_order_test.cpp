#include <gtest/gtest.h>

#include "ui/core/file_order.h"

namespace {

TEST(FileOrderKey, DateAndTimeFromTheName) {
  // 2009-03-05 14:30:59: 29 years, month index 2, day 5.
  const uint32_t march5 = 29u * 32140800u + 2u * 2678400u + 5u * 86400u + 14u * 3600u + 30u * 60u + 59u;
  struct Case {
    const char* name;
    uint32_t key;
  };
  const std::vector<Case> cases = {
      {"Bus12_Mar05, 2009_14-30-59.avi", march5},
      {"Bus12_MAR05, 2009_14-30-59+.avi", march5},  // month in any case; T may be longer than 8
      {"x_mar05xx2009_14.30.59.avi", march5},       // D[5..7), T[2], T[5] are never read
      {"Bus12_Jan01, 1980_00-00-00.avi", 86400u},
      {"Cam_Mar01--2011_14.05.09#.avi",
       31u * 32140800u + 2u * 2678400u + 86400u + 14u * 3600u + 5u * 60u + 9u},
      {"Bus12_Dec31, 2010_23-59-59.avi",
       30u * 32140800u + 11u * 2678400u + 31u * 86400u + 23u * 3600u + 59u * 60u + 59u},
      {"Bus12_Xyz05, 2009_14-30-59.avi", march5 - 2u * 2678400u},  // unknown month counts as January
      {"Bus12_Mar0x, 2009_14-3x-59.avi", march5 - 5u * 86400u - 27u * 60u},  // digits stop at a non-digit
      {"Bus12_Mar05, 1979_00-00-00.avi", uint32_t(-1) * 32140800u + 2u * 2678400u + 5u * 86400u},  // wraps
      {"Mar05, 2009_14-30-59.avi", 0},       // no second "_"
      {"Bus12_Mar05,2009_14-30-59.avi", 0},  // date part of 10 characters
      {"Bus12_Mar05, 2009_14-30-5.avi", 0},  // time part of 7 characters
      {"Bus12_Mar05, 2009_14-30-59", 0},     // no "."
      {"a.b_c", 0},                          // "." before the last "_"
      {"Trip-001.avi", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(FileOrderKey(c.name), c.key) << c.name;
  EXPECT_EQ(FileNameOf("/rec/day 1/Trip-001.avi"), "Trip-001.avi");
  EXPECT_EQ(FileNameOf("Trip-001.avi"), "Trip-001.avi");
}

}  // namespace
