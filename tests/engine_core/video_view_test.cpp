#include <gtest/gtest.h>

#include "engine/video_view.h"

namespace {

// The numbers views are stored and exchanged as, and the views the code makes.
TEST(VideoView, StoredNumbersAndCamerasNameTheViewsTheyShould) {
  const struct {
    const char* name;
    std::optional<VideoView> view;
    int number;  // -1: none
    bool quad;
    int camera;
  } cases[] = {
      {"stored 0", VideoView::FromNumber(0), 0, false, 0},
      {"stored 3", VideoView::FromNumber(3), 3, false, 3},
      {"stored 4", VideoView::FromNumber(4), 4, true, -1},
      {"stored -1", VideoView::FromNumber(-1), -1, false, 0},
      {"stored 5", VideoView::FromNumber(5), -1, false, 0},
      {"stored huge", VideoView::FromNumber(1 << 30), -1, false, 0},
      {"as a window starts", VideoView(), 0, false, 0},
      // A camera the unit doesn't have shows the first one, never the quad.
      {"camera 4", VideoView::Camera(4), 0, false, 0},
      {"camera -1", VideoView::Camera(-1), 0, false, 0},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(c.view.has_value(), c.number >= 0) << c.name;
    if (!c.view) continue;
    EXPECT_EQ(c.view->Number(), c.number) << c.name;
    EXPECT_EQ(c.view->IsQuad(), c.quad) << c.name;
    EXPECT_EQ(c.view->Camera(), c.camera) << c.name;
  }
}

}  // namespace
