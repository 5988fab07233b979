#include <gtest/gtest.h>

#include <fstream>

#include "base/brand.h"
#include "base/titles.h"
#include "temp_dir.h"

namespace {

TEST(Brand, ReadVerbatimUpTo255Bytes) {
  struct Case {
    std::string file;
    std::string brand;
  };
  const std::string longText = std::string(298, 'B') + "\r\n";
  const std::vector<Case> cases = {
      {"", ""},
      {"AB\n", "AB\n"},  // line breaks are not trimmed
      {std::string(255, 'C'), std::string(255, 'C')},
      {longText, std::string(255, 'B')},        // 300 bytes: the first 255
      {std::string("Fleet\0Cam", 9), "Fleet"},  // a NUL ends the text
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::ofstream(dir / "brand.dat", std::ios::binary) << c.file;
    EXPECT_EQ(LoadBrandText(dir.path()), c.brand) << c.file.size();
  }
}

TEST(Brand, MissingOrUnreadableFileGivesDefault) {
  TempDir dir;
  EXPECT_EQ(LoadBrandText(dir.path()), "QMX");
  std::filesystem::create_directory(dir / "brand.dat");  // exists, but cannot be read as a file
  EXPECT_EQ(LoadBrandText(dir.path()), "QMX");
}

TEST(Titles, FormatsStartFromTheBrand) {
  EXPECT_EQ(MainWindowTitle("QMX"), "QMX Player");
  EXPECT_EQ(MainWindowTitle("AB\n"), "AB\n Player");
  EXPECT_EQ(FileWindowTitle("QMX", "Trip-001.avi"), "QMX Player - Trip-001.avi");
  EXPECT_EQ(GroupWindowTitle("QMX", "base.avi", "base_3.avi"), "QMX Player - base.avi ... base_3.avi");
  EXPECT_EQ(SequenceWindowTitle("QMX", "Trip-001.avi", "Trip-009.avi"),
            "QMX Player - Trip-001.avi ... Trip-009.avi");
  EXPECT_EQ(AboutBoxTitle(""), "About  Player");
}

}  // namespace
