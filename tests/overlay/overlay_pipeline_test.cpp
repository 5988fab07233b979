#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "box_font.h"
#include "gst/overlay_element.h"
#include "gst_test_support.h"
#include "metadata/overlay_filter.h"
#include "temp_dir.h"

namespace {

struct LabelRecorder : CMetadataInterface {
  std::vector<std::string> labels;
  std::vector<std::string> localTimes;
  void OnMetadata(const char*, const char* label, const char* text) override {
    labels.emplace_back(label);
    if (labels.back() == "Local Time") localTimes.emplace_back(text);
  }
};

// A generated one-camera recording played through the extractor, the JPEG
// decoder and the overlay, as the playback pipelines do it.
PipelineOutput PlayRecording(const std::string& path, bool overlayOn, LabelRecorder* recorder) {
  const std::string description =
      "filesrc location=\"" + path +
      "\" ! avidemux ! qmxmetaextract name=ex ! jpegdec ! videoconvert ! "
      "video/x-raw,format=BGRx ! qmxoverlay name=ov ! appsink name=sink sync=false";
  GError* error = nullptr;
  ElementPtr pipeline(gst_parse_launch(description.c_str(), &error));
  EXPECT_EQ(error, nullptr) << (error ? error->message : "");
  if (error) g_error_free(error);
  return RunPipeline(pipeline.get(), [&](GstElement* p) {
    ElementPtr ex(gst_bin_get_by_name(GST_BIN(p), "ex")), ov(gst_bin_get_by_name(GST_BIN(p), "ov"));
    COverlayFilter* extractor = OverlayElementFilter(ex.get());
    COverlayFilter* overlay = OverlayElementFilter(ov.get());
    ASSERT_TRUE(extractor && overlay);
    extractor->SetListener0(recorder);
    extractor->SetListener1(overlay);
    overlay->SetOverlayOn(overlayOn);
  });
}

TEST(OverlayPipeline, RecordingFramesCarryTheMetadataLines) {
  const std::filesystem::path recgen = std::filesystem::path(QMX_TOOLS_DIR) / "recgen";
  if (!std::filesystem::exists(recgen)) GTEST_SKIP() << "recgen not built";
  InstallBoxFonts();
  TempDir dir;
  const std::string path = (dir / "trip.avi").string();
  const std::string command =
      recgen.string() + " write \"" + path + "\" --channels 1 --audio none --seconds 1 --fps 5";
  ASSERT_EQ(std::system(command.c_str()), 0);

  LabelRecorder withText, withoutText;
  PipelineOutput on = PlayRecording(path, true, &withText);
  PipelineOutput off = PlayRecording(path, false, &withoutText);
  EXPECT_FALSE(on.error);
  ASSERT_EQ(on.buffers.size(), 5u);
  ASSERT_EQ(off.buffers.size(), 5u);

  // Listeners hear the ten labels of every frame, in order.
  const char* order[] = {"UTC Time", "Local Time",     "GPS Sat Count",  "Latitude",       "Longitude",
                         "Speed",    "X Acceleration", "Y Acceleration", "Z Acceleration", "Triggers"};
  ASSERT_EQ(withText.labels.size(), 50u);
  for (std::size_t i = 0; i < withText.labels.size(); ++i) EXPECT_EQ(withText.labels[i], order[i % 10]) << i;
  EXPECT_NE(withText.localTimes.front(), withText.localTimes.back());  // time moves on

  // The large-font bands of a 720 × 480 frame: white top row through shadow bottom row.
  const std::pair<int, int> bands[] = {{436, 451}, {456, 471}, {6, 21}, {31, 46}};
  const std::size_t stride = 720 * 4;
  for (std::size_t k = 0; k < on.buffers.size(); ++k) {
    ASSERT_EQ(on.buffers[k].size(), stride * 480);
    bool anyChange = false;
    for (int y = 0; y < 480; ++y) {
      bool inBand = false;
      for (auto [top, bottom] : bands) inBand = inBand || (y >= top && y <= bottom);
      const bool differs =
          !std::equal(on.buffers[k].begin() + y * stride, on.buffers[k].begin() + (y + 1) * stride,
                      off.buffers[k].begin() + y * stride);
      if (!inBand) {
        EXPECT_FALSE(differs) << "frame " << k << " row " << y;
      }
      anyChange = anyChange || differs;
    }
    EXPECT_TRUE(anyChange) << "frame " << k;
    // The white time line starts at (20, 450 − 14).
    const uint8_t* px = on.buffers[k].data() + 436 * stride + 20 * 4;
    EXPECT_EQ(px[0] & px[1] & px[2], 255) << "frame " << k;
  }
}

}  // namespace
