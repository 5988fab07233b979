// The areas of src/ stand on floors and include only down: the window and
// the command line on top, the features under them, the engine, the readers
// and filters at the bottom, and the settings and titles under everything.
// Areas of one floor may include each other one way only.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::map<std::string, int> kFloors = {
    {"app", 7},      {"ui", 6},       {"live", 5},   {"clip", 5},     {"map", 5},
    {"evidence", 5}, {"export", 5},   {"report", 5}, {"library", 5},  {"engine", 4},
    {"gst", 3},      {"metadata", 3}, {"avi", 3},    {"snapshot", 3}, {"base", 1},
};

TEST(IncludeFloors, EveryAreaIncludesOnlyDownOrOneWaySideways) {
  const fs::path src = QMX_SOURCE_DIR;
  const std::regex include(R"re(^\s*#\s*include\s+"([a-z_]+)/)re");
  std::map<std::string, std::set<std::string>> uses;  // area -> areas it includes
  std::set<std::string> violations;
  for (const fs::directory_entry& area : fs::directory_iterator(src)) {
    if (!area.is_directory()) continue;
    const std::string name = area.path().filename().string();
    const auto floor = kFloors.find(name);
    ASSERT_NE(floor, kFloors.end()) << "src/" << name << " stands on no floor";
    for (const fs::directory_entry& file : fs::recursive_directory_iterator(area.path())) {
      const std::string ext = file.path().extension().string();
      if (ext != ".h" && ext != ".cpp") continue;
      std::ifstream in(file.path());
      std::string line;
      std::smatch m;
      while (std::getline(in, line)) {
        if (!std::regex_search(line, m, include)) continue;
        const std::string to = m[1].str();
        const auto target = kFloors.find(to);
        if (target == kFloors.end() || to == name) continue;
        uses[name].insert(to);
        if (target->second > floor->second)
          violations.insert(fs::relative(file.path(), src).string() + " includes up into " + to);
      }
    }
  }
  for (const auto& [from, targets] : uses)
    for (const std::string& to : targets)
      if (from < to && uses[to].count(from)) violations.insert(from + " and " + to + " include each other");
  EXPECT_TRUE(violations.empty()) << [&] {
    std::string all;
    for (const std::string& v : violations) all += v + "\n";
    return all;
  }();
}

}  // namespace
