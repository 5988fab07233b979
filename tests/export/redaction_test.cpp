// Redaction shapes: where a shape is at a time, what its fills leave of the
// picture, the list file read back, and where the window keeps it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "export/redaction.h"
#include "export/redaction_store.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace redaction {
namespace {

namespace fs = std::filesystem;

TEST(RedactionTest, AShapeMovesLinearlyFromItsFirstKeyframeToItsLast) {
  Redaction r;
  SetKeyframe(r, {300, {0.5, 0.5, 0.2, 0.4}});
  SetKeyframe(r, {100, {0.1, 0.1, 0.2, 0.2}});
  SetKeyframe(r, {200, {0.9, 0.9, 0.1, 0.1}});
  SetKeyframe(r, {200, {0.3, 0.3, 0.2, 0.3}});  // replaces the one at 200
  ASSERT_EQ(r.keys.size(), 3u);
  const struct {
    int64_t centis;
    std::optional<Box> box;
  } rows[] = {
      {99, std::nullopt},
      {100, Box{0.1, 0.1, 0.2, 0.2}},
      {150, Box{0.2, 0.2, 0.2, 0.25}},
      {200, Box{0.3, 0.3, 0.2, 0.3}},
      {275, Box{0.45, 0.45, 0.2, 0.375}},
      {300, Box{0.5, 0.5, 0.2, 0.4}},
      {301, std::nullopt},
  };
  for (const auto& row : rows) {
    const std::optional<Box> at = PlaceAt(r, row.centis);
    ASSERT_EQ(at.has_value(), row.box.has_value()) << row.centis;
    if (!at) continue;
    EXPECT_NEAR(at->x, row.box->x, 1e-9) << row.centis;
    EXPECT_NEAR(at->y, row.box->y, 1e-9) << row.centis;
    EXPECT_NEAR(at->width, row.box->width, 1e-9) << row.centis;
    EXPECT_NEAR(at->height, row.box->height, 1e-9) << row.centis;
  }
  Redaction once;
  SetKeyframe(once, {500, {0, 0, 1, 1}});
  EXPECT_TRUE(PlaceAt(once, 500));
  EXPECT_FALSE(PlaceAt(once, 499) || PlaceAt(once, 501));
}

// Each shape and fill on a picture of fine detail: inside, the fill; outside
// the shape, every pixel as it was.
TEST(RedactionTest, FillsCoverTheShapeOnlyAndPixelationKeepsNoDetail) {
  constexpr int kW = 160, kH = 120, kStride = kW * 4 + 8;
  std::vector<uint8_t> original(std::size_t(kStride) * kH);
  for (std::size_t i = 0; i < original.size(); ++i) original[i] = uint8_t((i * 7919u) >> 3);
  const Box box{0.25, 0.25, 0.5, 0.5};  // pixels 40..120 × 30..90
  const struct {
    const char* name;
    Shape shape;
    Fill fill;
  } rows[] = {{"solid rectangle", Shape::kRectangle, Fill::kSolid},
              {"solid ellipse", Shape::kEllipse, Fill::kSolid},
              {"pixelated rectangle", Shape::kRectangle, Fill::kPixelate},
              {"pixelated ellipse", Shape::kEllipse, Fill::kPixelate}};
  for (const auto& row : rows) {
    std::vector<uint8_t> picture = original;
    RedactionList list;
    Redaction r;
    r.camera = 2;
    r.shape = row.shape;
    r.fill = row.fill;
    SetKeyframe(r, {0, box});
    list.items.push_back(r);
    EXPECT_EQ(ApplyRedactions(picture.data(), kW, kH, kStride, 1, 0, list), 0)
        << row.name << ": other camera";
    EXPECT_EQ(picture, original) << row.name;
    EXPECT_EQ(ApplyRedactions(picture.data(), kW, kH, kStride, 2, 0, list), 1) << row.name;
    std::set<uint32_t> colours;
    int changedOutside = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const uint8_t* p = &picture[std::size_t(y) * kStride + std::size_t(x) * 4];
        const uint8_t* o = &original[std::size_t(y) * kStride + std::size_t(x) * 4];
        const double dx = (x + 0.5 - 80) / 40, dy = (y + 0.5 - 60) / 30;
        const bool inBox = x >= 40 && x < 120 && y >= 30 && y < 90;
        const bool inside = inBox && (row.shape == Shape::kRectangle || dx * dx + dy * dy <= 1);
        if (!inside) {
          changedOutside += p[0] != o[0] || p[1] != o[1] || p[2] != o[2];
          continue;
        }
        if (row.fill == Fill::kSolid) {
          ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 0) << row.name << " " << x << "," << y;
        } else {
          for (int c = 0; c < 3; ++c)
            ASSERT_EQ(p[c] % (256 / kPixelLevels), 256 / kPixelLevels / 2) << row.name;
        }
        colours.insert(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16);
      }
    EXPECT_EQ(changedOutside, 0) << row.name;
    if (row.fill == Fill::kPixelate) {
      // Blocks of 16 on the picture's grid: 80 × 60 pixels span 6 × 5 blocks at most.
      EXPECT_EQ(PixelBlock(ToPixels(box, kW, kH)), kMinPixelBlock);
      EXPECT_LE(colours.size(), 30u) << row.name;
    }
  }
  // A large shape gets larger blocks: never more than kMaxBlocksAcross.
  EXPECT_EQ(PixelBlock({0, 0, 640, 200}), 80);
}

TEST(RedactionTest, TheListFileReadsBackAndBadFilesAreRefused) {
  RedactionList list;
  Redaction a;
  a.camera = 1;
  SetKeyframe(a, {100, {0.75, 0.25, 0.2, 0.2}});
  SetKeyframe(a, {300, {0.5, 0.125, 0.25, 0.5}});
  Redaction b;
  b.camera = 3;
  b.shape = Shape::kEllipse;
  b.fill = Fill::kPixelate;
  SetKeyframe(b, {0, {0, 0, 1, 1}});
  list.items = {a, b};
  RedactionList back;
  std::string error;
  ASSERT_TRUE(FromJson(ToJson(list), back, error)) << error << "\n" << ToJson(list);
  EXPECT_EQ(ToJson(back), ToJson(list));
  ASSERT_EQ(back.items.size(), 2u);
  EXPECT_EQ(back.items[1].shape, Shape::kEllipse);
  EXPECT_EQ(back.items[1].fill, Fill::kPixelate);
  EXPECT_EQ(back.items[0].keys[1].box, (Box{0.5, 0.125, 0.25, 0.5}));
  EXPECT_TRUE(HasCamera(back, 3) && !HasCamera(back, 0));

  const std::string head = "{\"format\": \"qmxplayer-redactions\", \"redactions\": [";
  const std::string key = "{\"centis\": 0, \"x\": 0, \"y\": 0, \"width\": 0.5, \"height\": 0.5}";
  const struct {
    std::string text, reason;
  } bad[] = {
      {"{", "expected a member name"},
      {"{\"redactions\": []}", "not a redaction list"},
      {head + "{\"camera\": 0, \"shape\": \"rectangle\", \"fill\": \"solid\", \"keyframes\": [" + key +
           "]}]}",
       "redaction 1: \"camera\" must be 1 to 4"},
      {head + "{\"camera\": 1, \"shape\": \"star\", \"fill\": \"solid\", \"keyframes\": [" + key + "]}]}",
       "\"shape\""},
      {head + "{\"camera\": 1, \"shape\": \"ellipse\", \"fill\": \"blur\", \"keyframes\": [" + key + "]}]}",
       "\"fill\""},
      {head + "{\"camera\": 1, \"shape\": \"ellipse\", \"fill\": \"solid\", \"keyframes\": []}]}",
       "\"keyframes\""},
      {head + "{\"camera\": 1, \"shape\": \"ellipse\", \"fill\": \"solid\", \"keyframes\": [{\"centis\": -5, "
              "\"x\": 0, "
              "\"y\": 0, \"width\": 1, \"height\": 1}]}]}",
       "centis >= 0"},
      {head + "{\"camera\": 1, \"shape\": \"ellipse\", \"fill\": \"solid\", \"keyframes\": [{\"centis\": 5, "
              "\"x\": 0, "
              "\"y\": 0, \"width\": 0, \"height\": 1}]}]}",
       "at least 0.0001"},
  };
  for (const auto& b : bad) {
    RedactionList kept = list;
    std::string why;
    EXPECT_FALSE(FromJson(b.text, kept, why)) << b.text;
    EXPECT_NE(why.find(b.reason), std::string::npos) << b.text << " -> " << why;
    EXPECT_EQ(ToJson(kept), ToJson(list)) << "a refused file changes nothing";
  }
}

// The list lives in the data folder under a key of the recording's files:
// the same recording elsewhere finds it, another one does not.
TEST(RedactionStoreTest, ListsAreKeptInTheDataFolderByTheRecordingsFiles) {
  TempDir dir;
  ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
  for (const char* folder : {"a", "b", "c"}) fs::create_directories(dir / folder);
  std::ofstream(dir / "a" / "Trip-001.avi") << "RIFF one recording";
  std::ofstream(dir / "b" / "Trip-001.avi") << "RIFF one recording";  // a copy on another disk
  std::ofstream(dir / "c" / "Trip-001.avi") << "RIFF two recording";  // same name and size
  const std::string a = RedactionListPath({(dir / "a" / "Trip-001.avi").string()});
  EXPECT_EQ(fs::path(a).parent_path(), dir / "data" / "qmxplayer" / "redactions");
  EXPECT_EQ(RedactionListPath({(dir / "b" / "Trip-001.avi").string()}), a);
  EXPECT_NE(RedactionListPath({(dir / "c" / "Trip-001.avi").string()}), a);
  EXPECT_EQ(RedactionListPath({(dir / "a" / "missing.avi").string()}), "");

  RedactionList list, back;
  Redaction r;
  SetKeyframe(r, {10, {0.1, 0.2, 0.3, 0.4}});
  list.items.push_back(r);
  std::string error;
  ASSERT_TRUE(LoadRedactionList(a, back, error)) << error;
  EXPECT_TRUE(back.items.empty()) << "nothing saved yet";
  ASSERT_TRUE(SaveRedactionList(a, list, error)) << error;
  ASSERT_TRUE(LoadRedactionList(a, back, error)) << error;
  EXPECT_EQ(ToJson(back), ToJson(list));
  ASSERT_TRUE(SaveRedactionList(a, {}, error)) << error;
  EXPECT_FALSE(fs::exists(a)) << "an emptied list leaves no file";
  for (const char* folder : {"a", "b", "c"})
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / folder), fs::directory_iterator()), 1) << folder;
}

}  // namespace
}  // namespace redaction
