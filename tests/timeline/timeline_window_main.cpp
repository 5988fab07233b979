// One main for the timeline's window tests: a QApplication on the offscreen
// platform, settings and the scan cache in private folders.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "temp_dir.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TempDir config;
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  TempDir cache;
  setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
