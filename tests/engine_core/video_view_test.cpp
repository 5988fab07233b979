#include <gtest/gtest.h>

#include "engine/video_view.h"

namespace {

TEST(VideoView, StoredNumbersReadBackAsTheViewTheyName) {
  struct Case {
    int number;
    std::optional<VideoView> view;
  } cases[] = {
      {0, VideoView::Camera(0)}, {3, VideoView::Camera(3)}, {4, VideoView::Quad()},
      {-1, std::nullopt},        {5, std::nullopt},         {1 << 30, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VideoView::FromNumber(c.number), c.view) << c.number;
    if (c.view) {
      EXPECT_EQ(c.view->Number(), c.number);
    }
  }
}

TEST(VideoView, CameraAndQuadAnswerForEveryView) {
  struct Case {
    VideoView view;
    bool quad;
    int camera;
  } cases[] = {
      {VideoView(), false, 0},
      {VideoView::Camera(2), false, 2},
      {VideoView::Quad(), true, -1},
      // A camera the unit doesn't have shows the first one, never the quad.
      {VideoView::Camera(4), false, 0},
      {VideoView::Camera(-1), false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.view.IsQuad(), c.quad) << c.view.Number();
    EXPECT_EQ(c.view.Camera(), c.camera) << c.view.Number();
  }
  int expected = 0;
  for (VideoView v : VideoView::All()) EXPECT_EQ(v.Number(), expected++);
}

}  // namespace
