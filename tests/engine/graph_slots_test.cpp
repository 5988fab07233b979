// The previous/current/next slots and the idle-graph cache of a sequence,
// driven with stand-in graphs through the nine-file cases.
#include <gtest/gtest.h>

#include <vector>

#include "engine/pipeline/graph_slots.h"

namespace {

struct FakeGraph {
  int file;
};

class NineFiles : public ::testing::Test {
 protected:
  NineFiles()
      : slots(
            9,
            [this](int i) {
              built.push_back(i);
              return std::make_unique<FakeGraph>(FakeGraph{i});
            },
            [this](FakeGraph& g, int index, GraphSlot slot) {
              placed.push_back({g.file, index, slot});
            }) {}

  void Open() {
    for (int i = 0; i < 7; ++i) slots.Adopt(i, std::make_unique<FakeGraph>(FakeGraph{i}));
    placed.clear();
  }
  void ExpectSlots(int prev, int cur, int next) {
    EXPECT_EQ(slots.previous().index, prev);
    EXPECT_EQ(slots.current().index, cur);
    EXPECT_EQ(slots.next().index, next);
    // A slot's graph is the graph of the file the slot names.
    for (auto* s : {&slots.previous(), &slots.current(), &slots.next()}) {
      if (s->index >= 0) {
        ASSERT_TRUE(s->graph);
        EXPECT_EQ(s->graph->file, s->index);
      } else {
        EXPECT_FALSE(s->graph);
      }
    }
  }

  struct Placement {
    int file, index;
    GraphSlot slot;
  };
  std::vector<int> built;
  std::vector<Placement> placed;
  GraphSlots<FakeGraph> slots;
};

}  // namespace

TEST_F(NineFiles, OpenPutsFirstTwoInSlotsAndFiveInTheCache) {
  Open();
  ExpectSlots(-1, 0, 1);
  EXPECT_EQ(slots.CachedIndexes(), (std::list<int>{6, 5, 4, 3, 2}));
}

TEST_F(NineFiles, SeekFromFirstToSixthFileReusesCachedGraphsAndBuildsNothing) {
  Open();
  slots.SwitchTo(5);
  ExpectSlots(4, 5, 6);
  EXPECT_TRUE(built.empty());
  EXPECT_EQ(slots.CachedIndexes(), (std::list<int>{1, 0, 3, 2}));
}

TEST_F(NineFiles, SeekOneBackRotatesPreviousToCurrentAndCurrentToNext) {
  Open();
  slots.SwitchTo(3);  // previous 2, current 3, next 4
  ExpectSlots(2, 3, 4);
  FakeGraph* oldPrev = slots.previous().graph.get();
  FakeGraph* oldCur = slots.current().graph.get();
  built.clear();
  slots.SwitchTo(2);
  ExpectSlots(1, 2, 3);
  EXPECT_EQ(slots.current().graph.get(), oldPrev);
  EXPECT_EQ(slots.next().graph.get(), oldCur);
  EXPECT_TRUE(built.empty());  // file 1 came back from the cache
}

TEST_F(NineFiles, SeekTwoAheadSwapsPreviousAndNext) {
  Open();
  slots.SwitchTo(3);
  FakeGraph* oldNext = slots.next().graph.get();
  slots.SwitchTo(5);
  ExpectSlots(4, 5, 6);
  EXPECT_EQ(slots.previous().graph.get(), oldNext);
}

TEST_F(NineFiles, AdvanceWalksToTheEndBuildingFilesBeyondTheSeventh) {
  Open();
  for (int cur = 1; cur <= 8; ++cur) {
    ASSERT_TRUE(slots.Advance());
    ExpectSlots(cur - 1, cur, cur < 8 ? cur + 1 : -1);
  }
  EXPECT_EQ(built, (std::vector<int>{7, 8}));
  EXPECT_FALSE(slots.Advance());  // the last file is current: nothing moves
  ExpectSlots(7, 8, -1);
  EXPECT_LE(slots.CachedIndexes().size(), 5u);
}

TEST_F(NineFiles, CacheDropsTheOldestBeyondFive) {
  Open();
  slots.SwitchTo(8);  // 7 and 8 are built; 0 and 1 pushed into a full cache
  ExpectSlots(7, 8, -1);
  EXPECT_EQ(built, (std::vector<int>{7, 8}));
  EXPECT_EQ(slots.CachedIndexes(), (std::list<int>{1, 0, 6, 5, 4}));
}

TEST_F(NineFiles, PlaceHookSeesEveryGraphEnteringASlot) {
  Open();
  slots.Advance();
  // previous ← file 0, current ← file 1, next ← file 2 from the cache
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_EQ(placed[0].file, 0);
  EXPECT_EQ(placed[0].slot, GraphSlot::kPrevious);
  EXPECT_EQ(placed[1].file, 1);
  EXPECT_EQ(placed[1].slot, GraphSlot::kCurrent);
  EXPECT_EQ(placed[2].file, 2);
  EXPECT_EQ(placed[2].slot, GraphSlot::kNext);
}
