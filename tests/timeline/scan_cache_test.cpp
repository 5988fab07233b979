#include "engine/scan_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "recording_writer.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

class ScanCacheTest : public testing::Test {
 protected:
  void SetUp() override {
    recgen::RecordingOptions o;
    o.width = 320;
    o.height = 240;
    o.fps = 10;
    o.seconds = 2;
    o.audio = {false, false, false, false};
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(recording_, o, error)) << error;
  }
  fs::path Entry() const {
    for (const auto& e : fs::directory_iterator(ScanCacheFolder())) return e.path();
    return {};
  }

  TempDir dir_;
  fs::path recording_ = dir_ / "rec.avi";
  ScopedEnv cacheHome_{"XDG_CACHE_HOME", (dir_ / "cache").string()};
};

TEST_F(ScanCacheTest, ReopeningReadsTheStoredScanUntilTheFileChanges) {
  EXPECT_EQ(ScanCacheFolder(), (dir_ / "cache" / "qmxplayer" / "scans").string());
  EXPECT_FALSE(LoadCachedScan(recording_.string()));
  const FileScan fresh = CachedScanRecordingFile(recording_.string(), nullptr, {});
  ASSERT_EQ(fresh.records.size(), 20u);

  const std::optional<FileScan> cached = LoadCachedScan(recording_.string());
  ASSERT_TRUE(cached);
  EXPECT_EQ(cached->path, recording_.string());
  EXPECT_EQ(cached->lengthCentis, fresh.lengthCentis);
  EXPECT_EQ(cached->error, fresh.error);
  ASSERT_EQ(cached->records.size(), fresh.records.size());
  for (std::size_t k = 0; k < fresh.records.size(); ++k) {
    EXPECT_EQ(cached->records[k].centis, fresh.records[k].centis);
    EXPECT_EQ(cached->records[k].sample.utcSeconds, fresh.records[k].sample.utcSeconds);
    EXPECT_EQ(cached->records[k].sample.latitude, fresh.records[k].sample.latitude);
    EXPECT_EQ(cached->records[k].sample.accelY, fresh.records[k].sample.accelY);
    EXPECT_EQ(cached->records[k].sample.triggerBits, fresh.records[k].sample.triggerBits);
  }
  // The whole-run scan reads the entry and not the file: with the file's
  // first bytes spoilt (same size, same time) it still has every record.
  const auto time = fs::last_write_time(recording_);
  {
    std::fstream f(recording_, std::ios::in | std::ios::out | std::ios::binary);
    f.write("XXXX", 4);
  }
  fs::last_write_time(recording_, time);
  EXPECT_EQ(ScanRecordingCached(recording_.string()).files.at(0).records.size(), 20u);

  // A new modification time, or a new size, is a new file.
  fs::last_write_time(recording_, time + std::chrono::seconds(5));
  EXPECT_FALSE(LoadCachedScan(recording_.string()));
  CachedScanRecordingFile(recording_.string(), nullptr, {});
  EXPECT_TRUE(LoadCachedScan(recording_.string()));
  std::ofstream(recording_, std::ios::app | std::ios::binary) << "tail";
  fs::last_write_time(recording_, time + std::chrono::seconds(5));
  EXPECT_FALSE(LoadCachedScan(recording_.string()));
}

TEST_F(ScanCacheTest, DamagedEntriesReadAsAbsent) {
  CachedScanRecordingFile(recording_.string(), nullptr, {});
  const fs::path entry = Entry();
  ASSERT_FALSE(entry.empty());
  std::ifstream in(entry, std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  ASSERT_GT(good.size(), 20u * 64u);

  auto tryEntry = [&](const std::string& bytes) {
    std::ofstream(entry, std::ios::binary | std::ios::trunc) << bytes;
    return LoadCachedScan(recording_.string()).has_value();
  };
  ASSERT_TRUE(tryEntry(good));
  // Every cut short of the whole entry.
  for (std::size_t n = 0; n < good.size(); ++n) ASSERT_FALSE(tryEntry(good.substr(0, n))) << n;
  // One byte too many, a foreign magic, a path length beyond the entry,
  // and a record count that promises more than is there.
  EXPECT_FALSE(tryEntry(good + "x"));
  std::string bad = good;
  bad[0] = 'X';
  EXPECT_FALSE(tryEntry(bad));
  bad = good;
  bad[8] = bad[9] = bad[10] = bad[11] = '\xff';
  EXPECT_FALSE(tryEntry(bad));
  bad = good;
  const std::size_t countAt = good.size() - 20 * 64 - 8;
  for (int i = 0; i < 8; ++i) bad[countAt + std::size_t(i)] = '\x7f';
  EXPECT_FALSE(tryEntry(bad));
  EXPECT_FALSE(tryEntry(std::string(5000, '\0')));
}

TEST_F(ScanCacheTest, WhatCannotBeStoredIsStillScanned) {
  // A cancelled scan is partial: never stored.
  FileScan partial;
  partial.path = recording_.string();
  partial.error = kScanCancelledError;
  EXPECT_FALSE(StoreCachedScan(partial));
  EXPECT_FALSE(LoadCachedScan(recording_.string()));

  // A cache folder that can't be made: the scan goes on without it.
  std::ofstream(dir_ / "file") << "x";
  ScopedEnv blocked("XDG_CACHE_HOME", (dir_ / "file").string());
  EXPECT_EQ(CachedScanRecordingFile(recording_.string(), nullptr, {}).records.size(), 20u);
  EXPECT_FALSE(LoadCachedScan(recording_.string()));
  // No cache folder at all.
  ScopedEnv noCache("XDG_CACHE_HOME", "");
  ScopedEnv noHome("HOME", "");
  EXPECT_EQ(ScanCacheFolder(), "");
  EXPECT_EQ(CachedScanRecordingFile(recording_.string(), nullptr, {}).records.size(), 20u);
}

}  // namespace
