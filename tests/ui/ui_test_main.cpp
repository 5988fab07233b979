// One main for the window tests: a QApplication on the offscreen platform,
// settings and the map tiles in private folders, sound to a clocked fakesink.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "temp_dir.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TempDir config, cache;
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
  // A proxy of the machine running the tests must not steer the loopback requests.
  for (const char* name :
       {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
    unsetenv(name);
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
