#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"
#include "ui/core/open_plan.h"

namespace {

void MakeFile(const std::filesystem::path& path, size_t bytes) {
  std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

constexpr const char* kA = "Bus_Mar05, 2009_10.00.00.avi";
constexpr const char* kB = "Bus_Mar05, 2009_11.00.00+.avi";
constexpr const char* kC = "Bus_Mar05, 2009_12.00.00#.avi";

class OpenPlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"Trip-001.avi", "Trip-002.avi", "Trip-003.avi", "Trip-004.avi", "Trip-005.avi",
                             "Gap-001.avi", "Gap-002.avi", "Gap-004.avi", "Solo-002.avi", "Mix#-001.avi",
                             "Mix-002.avi", "Tiny-002.avi", "single.avi"}) {
      MakeFile(seq_ / name, 5000);
    }
    MakeFile(seq_ / "Tiny-001.avi", 4000);
    MakeFile(seq_ / "empty.avi", 4000);
    MakeFile(seq_ / "justover.avi", 4001);
    for (const char* name : {kA, kB, kC}) MakeFile(groups_ / name, 5000);
  }
  std::string Seq(const std::string& name) const { return (seq_ / name).string(); }
  std::string Grp(const std::string& name) const { return (groups_ / name).string(); }

  TempDir seq_, groups_;
};

TEST_F(OpenPlanTest, SequencesGroupsAndSingleFiles) {
  struct Case {
    const char* what;
    std::string path;
    OpenMode mode;
    std::vector<std::string> files;
    std::string title;
    std::string displayName;
  };
  using M = OpenMode;
  const auto trip = [&](int from, int to) {
    std::vector<std::string> v;
    for (int n = from; n <= to; ++n) v.push_back(Seq("Trip-00" + std::to_string(n) + ".avi"));
    return v;
  };
  const std::string groupTitle = std::string("QMX Player - ") + kA + " ... " + kC;
  const std::string groupName = std::string(kA) + " ... " + kC;
  const std::vector<Case> cases = {
      {"from this file", Seq("Trip-003.avi"), M::kFromThisFile, trip(3, 5),
       "QMX Player - Trip-003.avi ... Trip-005.avi", "Trip-003.avi ... Trip-005.avi"},
      {"the whole sequence", Seq("Trip-003.avi"), M::kSequences, trip(1, 5),
       "QMX Player - Trip-001.avi ... Trip-005.avi", "Trip-001.avi ... Trip-005.avi"},
      {"all files takes the numbered way like sequences", Seq("Trip-004.avi"), M::kAllFiles, trip(1, 5),
       "QMX Player - Trip-001.avi ... Trip-005.avi", "Trip-001.avi ... Trip-005.avi"},
      {"single file never takes the numbered way", Seq("Trip-003.avi"), M::kSingleFile, trip(3, 3),
       "QMX Player - Trip-003.avi", "Trip-003.avi"},
      {"the first gap ends the sequence",
       Seq("Gap-001.avi"),
       M::kSequences,
       {Seq("Gap-001.avi"), Seq("Gap-002.avi")},
       "QMX Player - Gap-001.avi ... Gap-002.avi",
       "Gap-001.avi ... Gap-002.avi"},
      {"numbers before the first file are skipped",
       Seq("Solo-002.avi"),
       M::kSequences,
       {Seq("Solo-002.avi")},
       "QMX Player - Solo-002.avi",
       "Solo-002.avi"},
      {"a # before the dash joins the sequence",
       Seq("Mix#-001.avi"),
       M::kSequences,
       {Seq("Mix#-001.avi"), Seq("Mix-002.avi")},
       "QMX Player - Mix#-001.avi ... Mix-002.avi",
       "Mix#-001.avi ... Mix-002.avi"},
      {"4,000 bytes is empty yet names the title",
       Seq("Tiny-001.avi"),
       M::kSequences,
       {Seq("Tiny-002.avi")},
       "QMX Player - Tiny-001.avi ... Tiny-002.avi",
       "Tiny-001.avi ... Tiny-002.avi"},
      {"4,001 bytes is a recording",
       Seq("justover.avi"),
       M::kSequences,
       {Seq("justover.avi")},
       "QMX Player - justover.avi",
       "justover.avi"},
      {"a file that cannot be opened gives an empty list",
       Seq("absent.avi"),
       M::kSingleFile,
       {},
       "QMX Player - absent.avi",
       "absent.avi"},
      {"a continuation chooses its whole group",
       Grp(kB),
       M::kSequences,
       {Grp(kA), Grp(kB), Grp(kC)},
       groupTitle,
       groupName},
      {"from a continuation on", Grp(kB), M::kFromThisFile, {Grp(kB), Grp(kC)}, groupTitle, groupName},
      {"from the base file on",
       Grp(kA),
       M::kFromThisFile,
       {Grp(kA), Grp(kB), Grp(kC)},
       groupTitle,
       groupName},
      {"a single continuation keeps the group title",
       Grp(kB),
       M::kSingleFile,
       {Grp(kB)},
       groupTitle,
       groupName},
      {"a single base file", Grp(kA), M::kSingleFile, {Grp(kA)}, groupTitle, groupName},
      {"all files plays a grouped file's group",
       Grp(kC),
       M::kAllFiles,
       {Grp(kA), Grp(kB), Grp(kC)},
       groupTitle,
       groupName},
  };
  DiskFileProbe probe;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const OpenPlan plan = PlanOpen(c.path, c.mode, "QMX", probe);
    EXPECT_EQ(plan.files, c.files);
    EXPECT_EQ(plan.title, c.title);
    EXPECT_EQ(plan.displayName, c.displayName);
    EXPECT_FALSE(plan.emptySingleFile);
  }
}

TEST_F(OpenPlanTest, EmptySingleFileAndDashedContinuations) {
  DiskFileProbe probe;
  const OpenPlan empty = PlanOpen(Seq("empty.avi"), OpenMode::kSequences, "QMX", probe);
  EXPECT_TRUE(empty.emptySingleFile);
  EXPECT_TRUE(empty.files.empty());

  // "..._14-30-59+.avi" has a dash eighth from the end: it takes the numbered
  // way, finds no numbered files and hands the engine nothing.
  const std::string dashed = Grp("Bus_Mar05, 2009_14-30-59+.avi");
  MakeFile(dashed, 5000);
  EXPECT_TRUE(IsNumberedPath(dashed, OpenMode::kSequences));
  EXPECT_FALSE(IsNumberedPath(dashed, OpenMode::kSingleFile));
  const OpenPlan plan = PlanOpen(dashed, OpenMode::kSequences, "QMX", probe);
  EXPECT_TRUE(plan.files.empty());
  EXPECT_EQ(plan.title, "QMX Player");
  EXPECT_FALSE(IsNumberedPath("-01.avi", OpenMode::kSequences));  // too short to have an eighth character
}

}  // namespace
