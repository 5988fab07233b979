// Metadata from a recording's own metadata stream, drawn by a real pipeline.
// A process of its own: it installs fonts whose glyphs tell characters apart,
// where the other element tests draw solid boxes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "expected_metadata.h"
#include "gst/element_registry.h"
#include "gst/overlay_element.h"
#include "gst_test_support.h"
#include "metadata/glyph_font.h"
#include "metadata/metadata_sample.h"
#include "metadata/overlay_filter.h"
#include "recording_writer.h"
#include "temp_dir.h"

namespace {

// Glyph pixel (x, y) is inked when bit (x + y) mod 7 of the character code is
// set: every printable character draws a picture of its own.
std::unique_ptr<GlyphFont> CodedFont(int width, int height) {
  std::vector<GlyphFont::Glyph> glyphs(GlyphFont::kGlyphCount);
  for (int i = 0; i < GlyphFont::kGlyphCount; ++i) {
    const int code = GlyphFont::kFirstChar + i;
    glyphs[i].width = width;
    glyphs[i].height = height;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) glyphs[i].coverage.push_back((code >> ((x + y) % 7)) & 1 ? 1.0 : 0.0);
  }
  return std::make_unique<GlyphFont>(std::move(glyphs));
}

struct TextCounter : CMetadataInterface {
  std::atomic<int> count{0};
  void OnMetadata(const char*, const char*, const char*) override { ++count; }
};

ElementPtr Launch(const std::string& description) {
  GError* error = nullptr;
  ElementPtr pipeline(gst_parse_launch(description.c_str(), &error));
  EXPECT_EQ(error, nullptr) << (error ? error->message : "");
  if (error) g_error_free(error);
  return pipeline;
}

// The metadata stream's branch is not held back by a clock, so it parses
// every sample before the first picture is drawn (the video branch is held
// until then): each frame must still show the texts of its own sample.
TEST(OverlayTiming, StreamMetadataIsDrawnOnTheFrameOfItsTime) {
  ASSERT_TRUE(InstallGlyphFonts(CodedFont(6, 9), CodedFont(8, 14)));
  TempDir dir;
  recgen::RecordingOptions o;
  o.video = {true, false, false, false};
  o.audio = {false, false, false, false};
  o.seconds = 1.5;
  o.fps = 10;
  o.meta = recgen::MetaPlacement::kStream;
  const std::string path = (dir / "stream.avi").string();
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(path, o, error)) << error;
  const int frames = int(recgen::FrameCount(o));
  const std::string unbounded = "max-size-buffers=0 max-size-bytes=0 max-size-time=0";
  const std::string source = "filesrc location=\"" + path + "\" ! avidemux name=d ";
  const std::string video =
      "d.video_0 ! queue name=vq " + unbounded + " ! jpegdec ! videoconvert ! video/x-raw,format=BGRx ! ";

  // The pictures as decoded, before any overlay.
  ElementPtr plain = Launch(source + video + "appsink name=sink sync=false");
  PipelineOutput raw = RunPipeline(plain.get(), [](GstElement*) {});
  ASSERT_EQ(int(raw.buffers.size()), frames);

  TextCounter heard;
  ElementPtr played =
      Launch(source + video + "qmxoverlay name=ov ! appsink name=sink sync=false max-buffers=1 " +
             "d.subtitle_0 ! qmxmultimeta name=multi ! queue " + unbounded + " ! fakesink sync=false");
  ElementPtr vq(gst_bin_get_by_name(GST_BIN(played.get()), "vq"));
  GstPad* held = gst_element_get_static_pad(vq.get(), "src");
  std::thread release;
  PipelineOutput drawn = RunPipeline(played.get(), [&](GstElement* p) {
    ElementPtr ov(gst_bin_get_by_name(GST_BIN(p), "ov")), multi(gst_bin_get_by_name(GST_BIN(p), "multi"));
    COverlayFilter* overlay = OverlayElementFilter(ov.get());
    COverlayFilter* extractor = OverlayElementFilter(multi.get());
    ASSERT_TRUE(overlay && extractor);
    extractor->SetListener0(&heard);
    extractor->SetListeners1to4(overlay, nullptr, nullptr, nullptr);
    const gulong hold = gst_pad_add_probe(
        held, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM,
        [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_OK; }, nullptr, nullptr);
    // The pictures go on once the stream is parsed, from a helper thread:
    // the pipeline only starts after this returns.
    release = std::thread([&heard, held, hold, frames] {
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
      while (heard.count < frames * 10 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      gst_pad_remove_probe(held, hold);
    });
  });
  if (release.joinable()) release.join();
  gst_object_unref(held);
  EXPECT_EQ(heard.count, frames * 10);
  EXPECT_FALSE(drawn.error);
  ASSERT_EQ(int(drawn.buffers.size()), frames);

  // Frame k as an overlay shows it with sample k's texts, and no other.
  COverlayFilter reference("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel),
      decoder("Meta Data Extractor", FilterRole::kMulti, DvrLayout::kFourChannel);
  decoder.SetListener1(&reference);
  std::vector<uint8_t> previous;
  for (int k = 0; k < frames; ++k) {
    uint8_t record[kMetadataSampleBytes];
    PackMetadataSample(recgen::ExpectedMetadata(o, 0, k), record);
    decoder.Transform(record, sizeof record);
    std::vector<uint8_t> expected = raw.buffers[std::size_t(k)];
    reference.TransformVideo(expected.data(), expected.size(), o.width, o.height);
    EXPECT_TRUE(drawn.buffers[std::size_t(k)] == expected) << "frame " << k;
    if (k > 0) {
      // Texts of the previous sample on this picture would be another picture.
      std::vector<uint8_t> stale = raw.buffers[std::size_t(k)];
      COverlayFilter late("Video Overlay 2", FilterRole::kOverlay, DvrLayout::kFourChannel),
          lateDecoder("Meta Data Extractor", FilterRole::kMulti, DvrLayout::kFourChannel);
      lateDecoder.SetListener1(&late);
      PackMetadataSample(recgen::ExpectedMetadata(o, 0, k - 1), record);
      lateDecoder.Transform(record, sizeof record);
      late.TransformVideo(stale.data(), stale.size(), o.width, o.height);
      EXPECT_FALSE(stale == expected) << "frame " << k;
    }
  }
}

}  // namespace
