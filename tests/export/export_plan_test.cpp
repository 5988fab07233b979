// The export's arithmetic: where the cameras go, the caption, the stamps.
#include <gtest/gtest.h>

#include "export/export_plan.h"

namespace video_export {
namespace {

struct GeometryCase {
  const char* name;
  ExportLayout layout;
  std::array<bool, 4> cameras;
  int width, height;
  int expectWidth, expectHeight;
  std::vector<std::array<int, 3>> cells;  // camera, x, y
};

class GeometryTest : public testing::TestWithParam<GeometryCase> {};

TEST_P(GeometryTest, PlacesTheChosenCamerasInOrder) {
  const GeometryCase& c = GetParam();
  const ExportGeometry g = PlanGeometry(c.layout, c.cameras, c.width, c.height, 36);
  EXPECT_EQ(g.width, c.expectWidth);
  EXPECT_EQ(g.height, c.expectHeight);
  ASSERT_EQ(g.cells.size(), c.cells.size());
  for (std::size_t i = 0; i < c.cells.size(); ++i) {
    EXPECT_EQ(g.cells[i].camera, c.cells[i][0]) << i;
    EXPECT_EQ(g.cells[i].x, c.cells[i][1]) << i;
    EXPECT_EQ(g.cells[i].y, c.cells[i][2]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, GeometryTest,
    testing::Values(GeometryCase{"quad",
                                 ExportLayout::kQuad,
                                 {true, true, true, true},
                                 720,
                                 480,
                                 1440,
                                 996,
                                 {{0, 0, 0}, {1, 720, 0}, {2, 0, 480}, {3, 720, 480}}},
                    GeometryCase{"quadOfTwoAndFour",
                                 ExportLayout::kQuad,
                                 {false, true, false, true},
                                 360,
                                 240,
                                 720,
                                 516,
                                 {{1, 0, 0}, {3, 360, 0}}},
                    GeometryCase{"singleTakesTheFirst",
                                 ExportLayout::kSingle,
                                 {false, false, true, true},
                                 720,
                                 576,
                                 720,
                                 612,
                                 {{2, 0, 0}}},
                    GeometryCase{"oddSizeRoundedToEven",
                                 ExportLayout::kSingle,
                                 {true, false, false, false},
                                 321,
                                 241,
                                 322,
                                 278,
                                 {{0, 0, 0}}},
                    GeometryCase{"oddQuadCellsOnEvenPixels",
                                 ExportLayout::kQuad,
                                 {true, true, true, false},
                                 321,
                                 241,
                                 644,
                                 520,
                                 {{0, 0, 0}, {1, 322, 0}, {2, 0, 242}}},
                    GeometryCase{
                        "noCamera", ExportLayout::kQuad, {false, false, false, false}, 720, 480, 0, 0, {}}),
    [](const testing::TestParamInfo<GeometryCase>& i) { return i.param.name; });

TEST(ExportPlanTest, StampsAddUpExactlyAtEveryRate) {
  // Rate fields as the recorders write them: 30 fps, NTSC's 29.97 and a
  // microsecond-scaled 12.5.
  for (const uint32_t field : {30000u, 29970u, 12500000u}) {
    const FrameRate rate = RateOfStream(field);
    uint64_t end = 0;
    for (int64_t k = 0; k < 200000; ++k) {
      ASSERT_EQ(FrameTimeNs(k, rate), end) << field << " frame " << k;
      end += FrameDurationNs(k, rate);
    }
    const double fps = field < 100000 ? field / 1000.0 : field / 1e6;
    EXPECT_NEAR(double(end) / 1e9, 200000 / fps, 1e-6) << field;
  }
  EXPECT_EQ(ExportFrameCount({150, 149, 150}), 150);
  EXPECT_EQ(CaptionText("Trip-001.avi", {"Camera 1", "Camera 3"}, 6500, 360000),
            "Trip-001.avi  |  Camera 1, Camera 3  |  0:01:05 - 1:00:00");
}

}  // namespace
}  // namespace video_export
