#include "avi/avi_index.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace avi;

// What follows the last indexed chunk of each movi list is walked; lists
// whose every chunk is indexed, and entries outside every list, add nothing.
TEST(UnindexedTails, OnePerListThatHasBytesAfterItsLastIndexedChunk) {
  struct Row {
    const char* what;
    std::vector<MoviList> movis;
    StreamChunks chunks;
    std::vector<MoviList> tails;
  };
  const std::vector<Row> rows = {
      {"no lists", {}, {{{120, 10, true}}}, {}},
      {"a fully indexed list", {{100, 140}}, {{{112, 10, true}, {130, 10, true}}}, {}},
      {"a list with nothing indexed", {{100, 200}}, {{}}, {{100, 200}}},
      {"chunks after the last entry", {{100, 200}}, {{{112, 10, true}}}, {{118, 200}}},
      {"an odd size is padded", {{100, 200}}, {{{112, 9, true}}}, {{118, 200}}},
      {"the last entry of any stream counts",
       {{100, 200}},
       {{{112, 10, true}}, {{150, 20, true}}},
       {{166, 200}}},
      {"too few bytes left for a chunk header", {{100, 129}}, {{{112, 10, true}}}, {}},
      {"entries placed in their own list",
       {{100, 200}, {300, 400}, {500, 600}},
       {{{112, 10, true}, {312, 82, true}}, {{510, 4, true}}},
       {{118, 200}, {510, 600}}},
      {"an entry before every list or after its end",
       {{100, 200}, {300, 304}},
       {{{50, 10, true}, {250, 10, true}}},
       {{100, 200}}},
  };
  for (const Row& row : rows) EXPECT_EQ(UnindexedTails(row.movis, row.chunks), row.tails) << row.what;
}

}  // namespace
