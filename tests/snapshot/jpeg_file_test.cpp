#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "psnr.h"
#include "snapshot/jpeg_file.h"
#include "snapshot/snapshot_image.h"
#include "temp_dir.h"

namespace {

// Captures what the JPEG wrapper reports for one test.
struct ReportedMessages {
  std::vector<std::string> messages;
  ReportedMessages() {
    SetJpegErrorReporter([this](const char* m) { messages.emplace_back(m); });
  }
  ~ReportedMessages() { SetJpegErrorReporter(nullptr); }
};

std::vector<uint8_t> Gradient(int width, int height) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      rgb.insert(rgb.end(), {uint8_t(x * 4), uint8_t(y * 4), uint8_t(200 - x - y)});
  return rgb;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST(JpegFile, WriteThenReadKeepsThePictureFromFileAndMemory) {
  TempDir dir;
  ReportedMessages reported;
  const std::string path = (dir / "g.jpg").string();
  const std::vector<uint8_t> rgb = Gradient(48, 32);
  ASSERT_TRUE(WriteJpegFile(path.c_str(), rgb.data(), 48, 32, 75));
  int w = -1, h = -1;
  auto fromFile = ReadJpegFile(path.c_str(), w, h);
  ASSERT_TRUE(fromFile);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(48, 32));
  EXPECT_GE(Psnr(fromFile.get(), rgb.data(), rgb.size()), 35.0);

  const std::vector<uint8_t> bytes = ReadBytes(path);
  auto fromMemory = ReadJpegMemory(bytes.data(), bytes.size(), w, h);
  ASSERT_TRUE(fromMemory);
  EXPECT_TRUE(std::equal(fromMemory.get(), fromMemory.get() + rgb.size(), fromFile.get()));
  EXPECT_TRUE(ReadJpegMemorySize(bytes.data(), bytes.size(), w, h));
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(48, 32));
  EXPECT_TRUE(reported.messages.empty());
}

TEST(JpegFile, GreyImagesComeBackAsEqualRgbBytes) {
  TempDir dir;
  const std::string path = (dir / "grey.jpg").string();
  {
    // A one-component JPEG straight from libjpeg.
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = 8;
    c.image_height = 2;
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    uint8_t row[8] = {0, 30, 60, 90, 120, 150, 180, 210};
    JSAMPROW rows[1] = {row};
    while (c.next_scanline < 2) jpeg_write_scanlines(&c, rows, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
  }
  int w = 0, h = 0;
  auto rgb = ReadJpegFile(path.c_str(), w, h);
  ASSERT_TRUE(rgb);
  ASSERT_EQ(std::make_pair(w, h), std::make_pair(8, 2));
  for (int i = 0; i < w * h; ++i) {
    EXPECT_EQ(rgb[3 * i], rgb[3 * i + 1]);
    EXPECT_EQ(rgb[3 * i], rgb[3 * i + 2]);
  }
  EXPECT_NEAR(rgb[3 * 7], 210, 4);
}

TEST(JpegFile, BadInputGivesNullAndTheLibrarysMessage) {
  TempDir dir;
  const std::string good = (dir / "good.jpg").string();
  const std::vector<uint8_t> rgb = Gradient(64, 64);
  ASSERT_TRUE(WriteJpegFile(good.c_str(), rgb.data(), 64, 64, 75));
  const std::vector<uint8_t> bytes = ReadBytes(good);

  std::vector<uint8_t> huge = bytes;  // SOF0 announcing 60,000 × 60,000 pixels
  for (std::size_t i = 2; i + 9 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = huge[i + 7] = 0xEA;
      huge[i + 6] = huge[i + 8] = 0x60;
      break;
    }
  std::vector<uint8_t> corrupt = bytes;
  for (std::size_t i = bytes.size() / 2; i < bytes.size() - 2; ++i) corrupt[i] = 0xFF;

  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    const char* message;  // libjpeg's own words, nullptr when nothing is reported
  } cases[] = {
      {"truncated", std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2),
       "Premature end of JPEG file"},
      {"header only", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), "Premature end of JPEG file"},
      {"garbage", std::vector<uint8_t>(4000, 0x5A), "Not a JPEG file: starts with 0x5a 0x5a"},
      {"corrupt scan", corrupt, "Invalid JPEG file structure: missing SOS marker"},
      {"too large", huge, nullptr},
      {"empty", {}, "Empty input file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = (dir / (std::string(c.name) + ".jpg")).string();
    WriteBytes(path, c.data);
    {
      ReportedMessages reported;
      int w = -1, h = -1;
      EXPECT_FALSE(ReadJpegFile(path.c_str(), w, h));
      EXPECT_EQ(std::make_pair(w, h), std::make_pair(0, 0));
      ASSERT_EQ(reported.messages.size(), c.message ? 1u : 0u);
      if (c.message) {
        EXPECT_EQ(reported.messages[0], c.message);
      }
    }
    ReportedMessages reported;
    int w = -1, h = -1;
    EXPECT_FALSE(ReadJpegMemory(c.data.data(), c.data.size(), w, h));
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(0, 0));
  }
}

TEST(JpegFile, FailuresToOpenAreQuiet) {
  TempDir dir;
  ReportedMessages reported;
  const std::vector<uint8_t> rgb = Gradient(4, 4);
  int w = -1, h = -1;
  EXPECT_FALSE(ReadJpegFile((dir / "missing.jpg").string().c_str(), w, h));
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(0, 0));
  EXPECT_FALSE(WriteJpegFile((dir / "no/such/folder.jpg").string().c_str(), rgb.data(), 4, 4, 75));
  EXPECT_FALSE(WriteJpegFile((dir / "x.jpg").string().c_str(), nullptr, 4, 4, 75));
  EXPECT_FALSE(WriteJpegFile((dir / "x.jpg").string().c_str(), rgb.data(), 0, 4, 75));
  EXPECT_FALSE(ReadJpegMemorySize(rgb.data(), rgb.size(), w, h));  // not a JPEG, header probe stays quiet
  EXPECT_TRUE(reported.messages.empty());
}

TEST(JpegFile, WriteErrorsFromTheLibraryAreReported) {
  TempDir dir;
  ReportedMessages reported;
  const std::vector<uint8_t> rgb(3 * 70000, 0);
  EXPECT_FALSE(WriteJpegFile((dir / "wide.jpg").string().c_str(), rgb.data(), 70000, 1, 75));  // over 65,500
  EXPECT_EQ(reported.messages.size(), 1u);
}

TEST(SnapshotImage, RowOperations) {
  struct FlipCase {
    int rows;
    std::vector<uint8_t> before, after;
  } flips[] = {
      {1, {1, 2}, {1, 2}},
      {2, {1, 2, 3, 4}, {3, 4, 1, 2}},
      {3, {1, 2, 3, 4, 5, 6}, {5, 6, 3, 4, 1, 2}},  // middle row stays
      {4, {1, 2, 3, 4, 5, 6, 7, 8}, {7, 8, 5, 6, 3, 4, 1, 2}},
  };
  for (FlipCase& c : flips) {
    FlipRowsVertically(c.before.data(), 2, c.rows);
    EXPECT_EQ(c.before, c.after) << c.rows;
  }
  std::vector<uint8_t> px = {1, 2, 3, 4, 5, 6};
  SwapRedBlue(px.data(), 1, 2);
  EXPECT_EQ(px, (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
}

TEST(SnapshotImage, TopDownBgrxBecomesRgbWithOptionalRowDoubling) {
  const std::vector<uint8_t> frame = {
      10, 20, 30, 99, 11, 21, 31, 99,  // top row: blue, green, red, ignored
      40, 50, 60, 99, 41, 51, 61, 99,
  };
  EXPECT_EQ(BuildSnapshotImage(frame.data(), 2, 2, false),
            (std::vector<uint8_t>{30, 20, 10, 31, 21, 11, 60, 50, 40, 61, 51, 41}));
  EXPECT_EQ(BuildSnapshotImage(frame.data(), 2, 2, true),
            (std::vector<uint8_t>{30, 20, 10, 31, 21, 11, 30, 20, 10, 31, 21, 11,
                                  60, 50, 40, 61, 51, 41, 60, 50, 40, 61, 51, 41}));
  EXPECT_TRUE(BuildSnapshotImage(nullptr, 2, 2, false).empty());
  EXPECT_TRUE(BuildSnapshotImage(frame.data(), 0, 2, false).empty());
}

}  // namespace

namespace {

TEST(SnapshotImageCrop, TheSameBytesOfTheAreaOrNothing) {
  // 4 × 3 pixels, each byte its own index.
  std::vector<uint8_t> image(4 * 3 * 3);
  for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i);
  struct Case {
    const char* what;
    int left, top, width, height;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"one pixel", 2, 1, 1, 1, {18, 19, 20}},
      {"two by two", 1, 1, 2, 2, {15, 16, 17, 18, 19, 20, 27, 28, 29, 30, 31, 32}},
      {"the last column", 3, 0, 1, 3, {9, 10, 11, 21, 22, 23, 33, 34, 35}},
      {"past the right", 3, 0, 2, 1, {}},
      {"past the bottom", 0, 2, 1, 2, {}},
      {"negative", -1, 0, 1, 1, {}},
      {"empty", 0, 0, 0, 1, {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CropSnapshotImage(image, 4, 3, c.left, c.top, c.width, c.height), c.bytes) << c.what;
  EXPECT_EQ(CropSnapshotImage(image, 4, 3, 0, 0, 4, 3), image);
  EXPECT_TRUE(CropSnapshotImage(std::vector<uint8_t>(5), 4, 3, 0, 0, 1, 1).empty()) << "short image";
}

}  // namespace
