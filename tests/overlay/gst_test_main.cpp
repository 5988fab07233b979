// The main of the test programs that push buffers through our elements.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include "gst/element_registry.h"

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  RegisterQmxElements();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
