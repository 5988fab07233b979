#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "temp_dir.h"

// Puts the settings file of a test program into a private folder. Register
// it with ::testing::AddGlobalTestEnvironment so that the variable is set
// before the first settings object exists.
class PrivateConfigHome : public ::testing::Environment {
 public:
  void SetUp() override {
    dir_ = std::make_unique<TempDir>();
    ::setenv("XDG_CONFIG_HOME", dir_->path().c_str(), 1);
  }
  void TearDown() override { dir_.reset(); }
  static std::filesystem::path Path() { return dir_->path(); }

 private:
  static inline std::unique_ptr<TempDir> dir_;
};
