#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"
#include "ui/core/file_order.h"
#include "ui/core/group_discovery.h"

namespace {

const std::string kA = "/r/Bus_Mar05, 2009_10-00-00.avi";
const std::string kB = "/r/Bus_Mar05, 2009_11-00-00+.avi";
const std::string kC = "/r/Bus_Mar05, 2009_12-00-00#.AVI";
const std::string kD = "/r/Bus_Mar05, 2009_13-00-00.avi";
const std::string kE = "/r/Bus_Mar05, 2009_14-00-00+.avi";

TEST(DiscoverGroups, SortsByKeyAndGroupsContinuationFiles) {
  struct Case {
    const char* what;
    std::vector<std::string> listing;
    std::vector<std::string> entries;
    std::vector<FileGroup> groups;
  };
  const std::vector<Case> cases = {
      {"continuations join the last ordinary file before them; newest group first",
       {kE, kC, kA, kD, kB},
       {kA, kD},
       {{kD, {kE}}, {kA, {kB, kC}}}},
      {"a continuation without a predecessor stays an entry", {kB, kD}, {kB, kD}, {}},
      {"one after a lone continuation joins it", {kC, kB}, {kB}, {{kB, {kC}}}},
      {"equal keys: the one listed later wins",
       {kA, "/r/Other_Mar05, 2009_10-00-00.avi"},
       {"/r/Other_Mar05, 2009_10-00-00.avi"},
       {}},
      {"names without the pattern collapse into one key-0 entry",
       {"/r/x.avi", "/r/y.avi", kA},
       {"/r/y.avi", kA},
       {}},
      {"nothing", {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const DiscoveredFiles found = DiscoverGroups(c.listing);
    std::vector<std::string> entries;
    for (const FileEntry& e : found.entries) {
      entries.push_back(e.path);
      EXPECT_EQ(e.key, FileOrderKey(FileNameOf(e.path)));
    }
    EXPECT_EQ(entries, c.entries);
    EXPECT_EQ(found.groups, c.groups);
  }
  const DiscoveredFiles found = DiscoverGroups({kA, kB, kC, kD});
  EXPECT_EQ(FindGroupOf(found, kA)->name, kA);
  EXPECT_EQ(FindGroupOf(found, kC)->name, kA);
  EXPECT_EQ(FindGroupOf(found, kD), nullptr);
}

TEST(DiscoverGroups, ListsOnlyTheFolderAviFiles) {
  TempDir dir;
  for (const char* name :
       {"Bus_Mar05, 2009_10-00-00.avi", "Bus_Mar05, 2009_11-00-00+.AVI", "notes.txt", "video.avi.bak"}) {
    std::ofstream(dir / name) << "x";
  }
  std::filesystem::create_directory(dir / "sub.avi");
  const std::string folder = dir.path().string();
  const DiscoveredFiles found = DiscoverGroupsInFolder(folder);
  ASSERT_EQ(found.groups.size(), 1u);
  EXPECT_EQ(found.groups[0].name, folder + "/Bus_Mar05, 2009_10-00-00.avi");
  EXPECT_EQ(found.groups[0].files, std::vector<std::string>{folder + "/Bus_Mar05, 2009_11-00-00+.AVI"});
  EXPECT_TRUE(found.entries.size() == 1 && found.entries[0].path == found.groups[0].name);
  EXPECT_TRUE(ListAviFiles(folder + "/absent").empty());
}

}  // namespace
