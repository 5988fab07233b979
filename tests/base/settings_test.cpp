#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "base/settings.h"
#include "config_home.h"
#include "temp_dir.h"

namespace {

[[maybe_unused]] ::testing::Environment* const kConfigHome =
    ::testing::AddGlobalTestEnvironment(new PrivateConfigHome);

TEST(Settings, AbsentValuesReadAsEmptyAndWritesReadBack) {
  EXPECT_EQ(ReadSetting("NeverWritten"), "");
  const std::vector<std::pair<std::string, std::string>> values = {
      {"FastDeinterlace", "Off"},
      {"KnownDevices", "Bus 12,10.0.0.7;Depot,10.0.0.8"},  // commas must survive the INI format
      {"ProxyPassword", "p\"a ss=w;o#rd"},
      {"MapID", "\xC3\xA9t\xC3\xA9"},
      {"Volume1", ""}};
  for (const auto& [name, value] : values) {
    WriteSetting(name, value);
    EXPECT_EQ(ReadSetting(name), value) << name;
  }
  WriteSetting("FastDeinterlace", "On");
  EXPECT_EQ(ReadSetting("FastDeinterlace"), "On");
  EXPECT_TRUE(SettingsFilePath().starts_with(PrivateConfigHome::Path().string()));
}

TEST(Settings, ValuesOf1024CharactersOrMoreReadAsAbsent) {
  WriteSetting("Long", std::string(1023, 'x'));
  EXPECT_EQ(ReadSetting("Long"), std::string(1023, 'x'));
  WriteSetting("Long", std::string(1024, 'x'));
  EXPECT_EQ(ReadSetting("Long"), "");
  // The stored value is kept, only reading it gives nothing.
  WriteSetting("Other", "1");
  EXPECT_EQ(ReadSetting("Long"), "");
}

TEST(Settings, FileIsPrivateAndWrittenThroughAtOnce) {
  WriteSetting("ProxyPassword", "secret");
  const std::string path = SettingsFilePath();
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  std::ifstream file(path);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("ProxyPassword=secret"), std::string::npos);
}

TEST(Settings, ReadsSeeChangesMadeOutsideTheProcess) {
  WriteSetting("MapID", "first");
  const std::string path = SettingsFilePath();
  {
    std::ofstream file(path, std::ios::trunc);
    file << "[General]\nMapID=changed elsewhere\n";
  }
  // Move the time stamp so a cache keyed on it cannot hide the change.
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
  EXPECT_EQ(ReadSetting("MapID"), "changed elsewhere");
}

TEST(Settings, UnwritableStoreFailsSilently) {
  WriteSetting("Volume3", "10");
  const std::filesystem::path path = SettingsFilePath();
  std::filesystem::remove(path);
  // A folder where the file should be: nothing can be written.
  std::filesystem::create_directory(path);
  WriteSetting("Volume2", "55");
  EXPECT_EQ(ReadSetting("Volume2"), "");  // not shown as stored when it was not
  EXPECT_TRUE(std::filesystem::is_directory(path));
  std::filesystem::remove(path);
  WriteSetting("Volume2", "56");
  EXPECT_EQ(ReadSetting("Volume2"), "56");
}

}  // namespace
