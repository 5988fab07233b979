#include <gtest/gtest.h>

#include <cmath>

#include "ui/core/zoom_view.h"

namespace {

TEST(ZoomView, WheelZoomKeepsThePointUnderThePointerAndStaysInsideThePicture) {
  struct Case {
    const char* what;
    ZoomView start;
    double factor, anchorX, anchorY;
    double zoom;
    bool anchorKept;  // false where an edge stops the area
    PictureArea area;
  };
  const Case cases[] = {
      {"centre doubles", {}, 2, 0.5, 0.5, 2, true, {0.25, 0.25, 0.5, 0.5}},
      {"top left corner stays the corner", {}, 4, 0, 0, 4, true, {0, 0, 0.25, 0.25}},
      {"bottom right corner", {}, 2, 1, 1, 2, true, {0.5, 0.5, 0.5, 0.5}},
      {"a quarter in", {}, 2, 0.25, 0.75, 2, true, {0.125, 0.375, 0.5, 0.5}},
      {"no further than 8x", {4, 0.5, 0.5}, 4, 0.5, 0.5, 8, true, {0.4375, 0.4375, 0.125, 0.125}},
      {"out past 1x is the whole picture", {2, 0.3, 0.7}, 0.25, 0.9, 0.1, 1, false, {0, 0, 1, 1}},
      {"zooming out near an edge pulls the area back in",
       {8, 1.0 - 0.0625, 0.5},
       0.5,
       0,
       0.5,
       4,
       false,
       {0.75, 0.375, 0.25, 0.25}},
  };
  for (const Case& c : cases) {
    double beforeX = 0, beforeY = 0, afterX = 0, afterY = 0;
    PicturePointAt(c.start, c.anchorX, c.anchorY, beforeX, beforeY);
    const ZoomView v = ZoomAbout(c.start, c.factor, c.anchorX, c.anchorY);
    PicturePointAt(v, c.anchorX, c.anchorY, afterX, afterY);
    EXPECT_DOUBLE_EQ(v.zoom, c.zoom) << c.what;
    if (c.anchorKept) {
      EXPECT_NEAR(afterX, beforeX, 1e-12) << c.what;
      EXPECT_NEAR(afterY, beforeY, 1e-12) << c.what;
    }
    const PictureArea a = ShownArea(v);
    EXPECT_NEAR(a.left, c.area.left, 1e-12) << c.what;
    EXPECT_NEAR(a.top, c.area.top, 1e-12) << c.what;
    EXPECT_NEAR(a.width, c.area.width, 1e-12) << c.what;
    EXPECT_NEAR(a.height, c.area.height, 1e-12) << c.what;
  }
}

TEST(ZoomView, WheelStepsInAndOutComeBackToExactlyTheWholePicture) {
  ZoomView v;
  for (int i = 0; i < 7; ++i) v = ZoomAbout(v, WheelZoomFactor(120), 0.3, 0.6);
  EXPECT_NEAR(v.zoom, std::pow(2.0, 7 / 4.0), 1e-9);
  EXPECT_EQ(ZoomMark(v), "3.4x");
  for (int i = 0; i < 7; ++i) v = ZoomAbout(v, WheelZoomFactor(-120), 0.3, 0.6);
  EXPECT_EQ(v, ZoomView{});
  EXPECT_EQ(ZoomMark(v), "");
  EXPECT_DOUBLE_EQ(WheelZoomFactor(480), 2.0);  // four notches double
}

TEST(ZoomView, DragPansTheOtherWayAndStopsAtTheEdges) {
  struct Case {
    const char* what;
    ZoomView start;
    double dx, dy;
    double centerX, centerY;
  } cases[] = {
      {"nothing to pan at 1x", {}, 0.3, -0.2, 0.5, 0.5},
      {"drag right shows more of the left", {2, 0.5, 0.5}, 0.2, 0, 0.4, 0.5},
      {"drag up shows more of the bottom", {4, 0.5, 0.5}, 0, -0.4, 0.5, 0.6},
      {"stops at the left edge", {2, 0.5, 0.5}, 5, 0, 0.25, 0.5},
      {"stops at the bottom edge", {8, 0.5, 0.5}, 0, -20, 0.5, 1 - 0.0625},
  };
  for (const Case& c : cases) {
    const ZoomView v = PanBy(c.start, c.dx, c.dy);
    EXPECT_DOUBLE_EQ(v.zoom, c.start.zoom) << c.what;
    EXPECT_NEAR(v.centerX, c.centerX, 1e-12) << c.what;
    EXPECT_NEAR(v.centerY, c.centerY, 1e-12) << c.what;
  }
}

TEST(ZoomView, ShownPixelsAreWholeAndInsideEveryPicture) {
  struct Case {
    const char* what;
    ZoomView view;
    int width, height;
    PixelRect pixels;
  } cases[] = {
      {"whole picture", {}, 720, 480, {0, 0, 720, 480}},
      {"centre at 2x", {2, 0.5, 0.5}, 720, 480, {180, 120, 540, 360}},
      {"8x in a corner", {8, 0.0625, 1 - 0.0625}, 720, 480, {0, 420, 90, 480}},
      {"odd sizes round, never leave", {3, 0.9, 0.1}, 4, 9, {3, 0, 4, 3}},
      {"a tiny picture keeps a pixel", {8, 0.5, 0.5}, 1, 1, {0, 0, 1, 1}},
      {"nothing of no picture", {2, 0.5, 0.5}, 0, 480, {}},
      {"bad values are the whole picture", {NAN, NAN, INFINITY}, 16, 8, {0, 0, 16, 8}},
  };
  for (const Case& c : cases) EXPECT_EQ(ShownPixels(c.view, c.width, c.height), c.pixels) << c.what;
}

}  // namespace
