#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "box_font.h"
#include "metadata/metadata_sample.h"
#include "metadata/overlay_filter.h"
#include "picture.h"
#include "psnr.h"
#include "snapshot/jpeg_file.h"
#include "temp_dir.h"

namespace {

struct Recorder : CMetadataInterface {
  std::vector<std::pair<std::string, std::string>> calls;
  void OnMetadata(const char*, const char* label, const char* text) override {
    calls.emplace_back(label, text);
  }
};

TEST(OverlayFilter, FrameSizesByByteCount) {
  struct Case {
    std::size_t len;
    DvrLayout dvrKind;
    bool known;
    int width, height;
    bool deinterlace;
  } cases[] = {
      {307200, DvrLayout::kTwoChannelTextLines, true, 320, 240, false},
      {614400, DvrLayout::kTwoChannelWide, true, 640, 240, false},
      {614400, DvrLayout::kFourChannel, true, 320, 480, false},
      {614400, DvrLayout::kTwoChannelStacked, true, 320, 480, false},
      {1658880, DvrLayout::kFourChannel, true, 720, 576, true},
      {1382400, DvrLayout::kFourChannel, true, 720, 480, true},
      {1228800, DvrLayout::kFourChannel, true, 640, 480, true},
      {414720, DvrLayout::kFourChannel, true, 360, 288, false},
      {345600, DvrLayout::kFourChannel, true, 360, 240, false},
      {307200, DvrLayout::kFourChannel, true, 320, 240, false},
      {1382404, DvrLayout::kFourChannel, false, 0, 0, false},
      {0, DvrLayout::kFourChannel, false, 0, 0, false},
      {16, DvrLayout::kFourChannel, false, 0, 0, false},
  };
  for (const Case& c : cases) {
    int w = 0, h = 0;
    bool d = false;
    ASSERT_EQ(COverlayFilter::VideoFrameSize(c.len, c.dvrKind, w, h, d), c.known) << c.len;
    if (!c.known) continue;
    EXPECT_EQ(std::make_tuple(w, h, d), std::make_tuple(c.width, c.height, c.deinterlace)) << c.len;
  }
}

TEST(OverlayFilter, InitialFieldsAndSetters) {
  COverlayFilter f("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel);
  EXPECT_TRUE(f.OverlayOn() && f.GpsLinesOn() && f.TimeLinesOn());
  EXPECT_FALSE(f.FastDeinterlace() || f.StereoOn());
  EXPECT_EQ(std::make_pair(f.GainA(), f.GainB()), std::make_pair(100, 100));
  EXPECT_EQ(f.Texts(), InitialOverlayTexts());
  Recorder a, b, c, d, e;
  f.SetListeners1to4(&b, &c, &d, &e);
  f.SetListener0(&a);
  f.SetListener1(&b);  // clears 2 to 4
  EXPECT_EQ(f.Listener(0), &a);
  EXPECT_EQ(f.Listener(1), &b);
  for (int slot : {2, 3, 4}) EXPECT_EQ(f.Listener(slot), nullptr);
}

TEST(OverlayFilter, StoresKnownLabelsOnlyAndSwitchesToTextLines) {
  COverlayFilter f("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel);
  f.OnMetadata("x", "Speed", "62");
  f.OnMetadata("x", "Speed ", "99");  // trailing blank: not a label
  f.OnMetadata("x", "speed", "98");
  f.OnMetadata("x", "Triggers", nullptr);
  EXPECT_EQ(f.Texts()[kTextSpeed], "62");
  EXPECT_EQ(f.Texts()[kTextTriggers], "");
  EXPECT_EQ(f.DvrKind(), DvrLayout::kFourChannel);
  f.OnMetadata("x", "Line1", "03/01/11");
  EXPECT_EQ(f.DvrKind(), DvrLayout::kTwoChannelTextLines);

  COverlayFilter stacked("Video Overlay 2", FilterRole::kOverlay, DvrLayout::kTwoChannelStacked);
  stacked.OnMetadata("x", "Line2", "y");
  EXPECT_EQ(stacked.DvrKind(), DvrLayout::kTwoChannelStacked);  // only ever changes from four-channel
}

TEST(OverlayFilter, ExtractorRoleDeliversLabelsInOrder) {
  for (FilterRole role : {FilterRole::kExtractor, FilterRole::kMulti}) {
    COverlayFilter f("Meta Data Extractor 1", role, DvrLayout::kFourChannel);
    Recorder slot0, slot1;
    f.SetListener0(&slot0);
    f.SetListener1(&slot1);
    MetadataSample s;
    s.satellites = 7;
    std::vector<uint8_t> frame(5000, 0);
    PackMetadataSample(s, frame.data() + kFrameMetadataOffset);
    const std::vector<uint8_t> original = frame;
    f.Transform(frame.data(), frame.size());
    EXPECT_EQ(frame, original);  // extractors never change the sample
    ASSERT_EQ(slot0.calls.size(), 10u);
    EXPECT_EQ(slot1.calls, slot0.calls);
    const char* labels[] = {"UTC Time", "Local Time",     "GPS Sat Count",  "Latitude",       "Longitude",
                            "Speed",    "X Acceleration", "Y Acceleration", "Z Acceleration", "Triggers"};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(slot0.calls[i].first, labels[i]);
    EXPECT_EQ(slot0.calls[2].second, "7");
  }
}

TEST(OverlayFilter, AudioRoleMixesOnlyWhenStereoIsOn) {
  COverlayFilter f("Audio Transform 1", FilterRole::kAudio, DvrLayout::kFourChannel);
  std::vector<uint8_t> pair = {0xE8, 0x03, 0xD0, 0x07};  // 1000, 2000
  f.Transform(pair.data(), pair.size());
  EXPECT_EQ(pair, (std::vector<uint8_t>{0xE8, 0x03, 0xD0, 0x07}));
  f.SetStereoOn(true);
  f.SetGains(0, 100);
  f.Transform(pair.data(), pair.size());
  EXPECT_EQ(pair, (std::vector<uint8_t>{0xD0, 0x07, 0xD0, 0x07}));
}

// A flat frame: deinterlacing leaves it alone, so every change is text.
Picture RunFrame(COverlayFilter& f, int width, int height) {
  Picture p(width, height, 128);
  f.Transform(p.data(), p.bytes.size());
  return p;
}

TEST(OverlayFilter, VideoRoleDrawsOnlyInsideTheTextRows) {
  InstallBoxFonts();
  COverlayFilter on("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel),
      off("Video Overlay 2", FilterRole::kOverlay, DvrLayout::kFourChannel);
  off.SetOverlayOn(false);
  for (COverlayFilter* f : {&on, &off}) f->OnMetadata("x", "Local Time", "3-1-2011  14:05:09.007");
  const Picture plain(720, 480, 128);
  const Picture drawn = RunFrame(on, 720, 480);
  EXPECT_EQ(RunFrame(off, 720, 480).bytes, plain.bytes);
  const std::vector<bool> rows = ChangedRows(plain, drawn);
  // Bands of the large font (14 rows) above the white y through the shadow y.
  const std::pair<int, int> bands[] = {{450 - 14, 451}, {470 - 14, 471}, {20 - 14, 21}, {45 - 14, 46}};
  for (int y = 0; y < 480; ++y) {
    bool inBand = false;
    for (auto [top, bottom] : bands) inBand = inBand || (y >= top && y <= bottom);
    EXPECT_EQ(rows[y], inBand) << "row " << y;
  }
  int w = 0, h = 0;
  on.CopySize(w, h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(720, 480));
}

TEST(OverlayFilter, UnknownSizesPassUntouchedAndAreNotCopied) {
  InstallBoxFonts();
  COverlayFilter f("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel);
  for (auto [w, h] : {std::pair{4, 9}, std::pair{480, 640}, std::pair{721, 480}}) {
    Picture p(w, h, 77);
    for (std::size_t i = 0; i < p.bytes.size(); ++i) p.bytes[i] = uint8_t(i * 31);
    const Picture before = p;
    if (w == 480)
      f.TransformVideo(p.data(), p.bytes.size(), w, h);  // same bytes as 640 × 480
    else
      f.Transform(p.data(), p.bytes.size());
    EXPECT_EQ(p.bytes, before.bytes) << w << "x" << h;
  }
  int w = -1, h = -1;
  f.CopySize(w, h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(0, 0));
  EXPECT_FALSE(f.SaveSnapshot("/nonexistent/never.jpg"));
}

TEST(OverlayFilter, DeinterlacesFullHeightFramesOnly) {
  struct Case {
    int width, height;
    DvrLayout dvrKind;
    bool changed;
  } cases[] = {{640, 480, DvrLayout::kFourChannel, true},
               {720, 576, DvrLayout::kFourChannel, true},
               {640, 240, DvrLayout::kTwoChannelWide, false},
               {320, 480, DvrLayout::kFourChannel, false}};
  for (const Case& c : cases) {
    COverlayFilter f("Video Overlay 1", FilterRole::kOverlay, c.dvrKind);
    f.SetOverlayOn(false);
    Picture p(c.width, c.height, 0);
    for (int y = 0; y < c.height; ++y)
      std::fill_n(p.bytes.begin() + std::size_t(y) * c.width * 4, c.width * 4, uint8_t(y % 2 ? 200 : 0));
    f.Transform(p.data(), p.bytes.size());
    EXPECT_EQ(p.PixelIs(0, 2, 0), !c.changed) << c.width << "x" << c.height;
  }
}

TEST(OverlayFilter, SnapshotDecodesBackToTheFrame) {
  TempDir dir;
  struct Case {
    int width, height;
    DvrLayout dvrKind;
    int jpegHeight;
  } cases[] = {{640, 480, DvrLayout::kFourChannel, 480},
               {640, 240, DvrLayout::kTwoChannelWide, 480},
               {360, 288, DvrLayout::kFourChannel, 288}};
  for (const Case& c : cases) {
    COverlayFilter f("Video Overlay 1", FilterRole::kOverlay, c.dvrKind);
    f.SetOverlayOn(false);
    Picture frame(c.width, c.height, 0);
    // Smooth colours that differ per channel, so a red/blue swap or a flip shows.
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        uint8_t* px = frame.data() + (std::size_t(y) * c.width + x) * 4;
        px[0] = uint8_t(x * 255 / c.width);   // blue grows to the right
        px[1] = 90;                           // green flat
        px[2] = uint8_t(y * 255 / c.height);  // red grows downwards
      }
    for (int y = 1; y < c.height; y += 2)  // make deinterlacing a no-op on this picture
      for (int x = 0; x < c.width * 4; ++x) {
        const std::size_t s = std::size_t(c.width) * 4;
        if (y + 1 < c.height)
          frame.bytes[y * s + x] = uint8_t((frame.bytes[(y - 1) * s + x] + frame.bytes[(y + 1) * s + x]) / 2);
      }
    Picture passed = frame;
    f.Transform(passed.data(), passed.bytes.size());
    const std::string path =
        (dir / ("snap" + std::to_string(c.width) + "x" + std::to_string(c.height) + ".jpg")).string();
    ASSERT_TRUE(f.SaveSnapshot(path));
    int w = 0, h = 0;
    auto rgb = ReadJpegFile(path.c_str(), w, h);
    ASSERT_TRUE(rgb);
    ASSERT_EQ(std::make_pair(w, h), std::make_pair(c.width, c.jpegHeight));
    // Expected image: the passed frame as RGB, top row first, rows doubled for kind 3.
    std::vector<uint8_t> expected;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* px = passed.Pixel(x, c.jpegHeight == c.height ? y : y / 2);
        expected.insert(expected.end(), {px[2], px[1], px[0]});
      }
    EXPECT_GE(Psnr(rgb.get(), expected.data(), expected.size()), 35.0) << c.width << "x" << c.height;
  }
}

TEST(OverlayFilter, ReleasedCopyEndsSnapshots) {
  TempDir dir;
  COverlayFilter f("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel);
  RunFrame(f, 360, 240);
  EXPECT_TRUE(f.SaveSnapshot((dir / "a.jpg").string()));
  f.ReleaseFrameCopy();
  EXPECT_FALSE(f.SaveSnapshot((dir / "b.jpg").string()));
  RunFrame(f, 360, 240);  // frames still pass
  EXPECT_FALSE(f.SaveSnapshot((dir / "c.jpg").string()));
}

// The mean of a snapshot's bytes, -1 when it can't be written or read.
double SnapshotMean(const COverlayFilter& f, const std::string& path) {
  if (!f.SaveSnapshot(path)) return -1;
  int w = 0, h = 0;
  auto rgb = ReadJpegFile(path.c_str(), w, h);
  if (!rgb) return -1;
  double sum = 0;
  for (std::size_t i = 0; i < std::size_t(w) * h * 3; ++i) sum += rgb[i];
  return sum / (double(w) * h * 3);
}

// A frame the pipeline keeps alive is held by reference instead of copied,
// and let go of as soon as the next frame or the release comes; a holder
// that is not the frame itself is not trusted.
TEST(OverlayFilter, HeldFramesAreKeptWithoutACopyAndLetGoOfInTurn) {
  TempDir dir;
  const std::string path = (dir / "s.jpg").string();
  COverlayFilter f("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel);
  f.SetOverlayOn(false);
  auto a = std::make_shared<Picture>(360, 240, 40), b = std::make_shared<Picture>(360, 240, 200);
  Picture c(360, 240, 120);
  auto hold = [](const std::shared_ptr<Picture>& p) {
    return [p] { return COverlayFilter::HeldFrame(p, p->data()); };
  };
  auto pass = [&](Picture& p, std::function<COverlayFilter::HeldFrame()> held) {
    f.TransformVideo(p.data(), p.bytes.size(), p.width, p.height, COverlayFilter::kNoTime, held);
  };
  struct Step {
    const char* what;
    std::function<void()> run;
    long aUses, bUses;  // references on each picture afterwards, the test's own included
    double mean;        // of the snapshot then, -1 none
  } steps[] = {
      {"a held", [&] { pass(*a, hold(a)); }, 2, 1, 40},
      {"b replaces a", [&] { pass(*b, hold(b)); }, 1, 2, 200},
      {"a holder for another frame: copied", [&] { pass(c, hold(b)); }, 1, 1, 120},
      {"the copy is the filter's own", [&] { std::fill(c.bytes.begin(), c.bytes.end(), 0); }, 1, 1, 120},
      {"no holder: copied", [&] { pass(*a, nullptr); }, 1, 1, 40},
      {"held again", [&] { pass(*b, hold(b)); }, 1, 2, 200},
      {"released", [&] { f.ReleaseFrameCopy(); }, 1, 1, -1},
      {"nothing kept after the release", [&] { pass(*a, hold(a)); }, 1, 1, -1},
  };
  for (const Step& s : steps) {
    s.run();
    EXPECT_EQ(a.use_count(), s.aUses) << s.what;
    EXPECT_EQ(b.use_count(), s.bUses) << s.what;
    EXPECT_NEAR(SnapshotMean(f, path), s.mean, 2.0) << s.what;
  }
}

TEST(OverlayFilter, TextsReplacedWhileFramesAreDrawn) {
  InstallBoxFonts();
  COverlayFilter f("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel);
  std::atomic<bool> stop{false};
  std::thread extractor([&] {
    for (int i = 0; !stop; ++i)
      f.OnMetadata("x", "Triggers", std::string(std::size_t(i % 300), char('A' + i % 26)).c_str());
  });
  TempDir dir;
  for (int i = 0; i < 60; ++i) {
    RunFrame(f, 360, 240);
    if (i % 20 == 0) {
      EXPECT_TRUE(f.SaveSnapshot((dir / "s.jpg").string()));
    }
  }
  stop = true;
  extractor.join();
}

// One step of an extractor running ahead of its overlay: a sample parsed at
// a running time, a frame drawn with its span's end, or a flushing seek.
struct TimedStep {
  enum Kind { kSample, kUntimedText, kFrame, kFlush } kind;
  int64_t time;
  int satellites;        // of a sample or an untimed text
  const char* expected;  // "GPS Sat Count" the overlay holds after the step
  std::size_t pending;   // text sets it holds back after the step
};

TEST(OverlayFilter, TimedTextsWaitForTheFrameOfTheirTime) {
  const int64_t kNo = COverlayFilter::kNoTime;
  const std::vector<TimedStep> steps = {
      {TimedStep::kSample, 0, 1, "0", 1},  // a stream a few samples ahead of the picture
      {TimedStep::kSample, 100, 2, "0", 2},
      {TimedStep::kSample, 200, 3, "0", 3},
      {TimedStep::kSample, 300, 4, "0", 4},
      {TimedStep::kFrame, 100, 0, "1", 3},  // frame [0, 100) shows sample 0 only
      {TimedStep::kFrame, 200, 0, "2", 2},
      {TimedStep::kSample, 150, 9, "9", 2},  // late for a frame already drawn: holds at once
      {TimedStep::kUntimedText, kNo, 7, "7", 2},
      {TimedStep::kFrame, 300, 0, "3", 1},
      {TimedStep::kFlush, kNo, 0, "3", 0},  // a seek drops what was held for later frames
      {TimedStep::kSample, 40, 5, "3", 1},  // the new timeline starts again at 0
      {TimedStep::kFrame, 40, 0, "3", 1},   // [.., 40) ends before the sample's time
      {TimedStep::kFrame, 41, 0, "5", 0},
      {TimedStep::kSample, 500, 6, "5", 1},
      {TimedStep::kFrame, kNo, 0, "6", 0},  // a frame without time takes everything held
  };
  COverlayFilter extractor("Meta Data Extractor", FilterRole::kMulti, DvrLayout::kFourChannel),
      overlay("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel);
  extractor.SetListeners1to4(&overlay, nullptr, nullptr, nullptr);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const TimedStep& s = steps[i];
    MetadataSample m;
    m.satellites = s.satellites;
    uint8_t record[kMetadataSampleBytes];
    PackMetadataSample(m, record);
    Picture frame(360, 240, 128);
    switch (s.kind) {
      case TimedStep::kSample:
        extractor.Transform(record, sizeof record, s.time);
        break;
      case TimedStep::kUntimedText:
        overlay.OnMetadata("x", "GPS Sat Count", std::to_string(s.satellites).c_str());
        break;
      case TimedStep::kFrame:
        overlay.TransformVideo(frame.data(), frame.bytes.size(), 360, 240, s.time);
        break;
      case TimedStep::kFlush:
        overlay.ClearPendingTexts();
        break;
    }
    EXPECT_EQ(overlay.Texts()[kTextGpsSatCount], s.expected) << "step " << i;
    EXPECT_EQ(overlay.PendingTextSets(), s.pending) << "step " << i;
  }
}

TEST(OverlayFilter, OwnFrameTextsApplyToThatFrameAndHeldTextsAreBounded) {
  // A channel's extractor parses frame k just before the overlay draws it.
  COverlayFilter extractor("Meta Data Extractor 1", FilterRole::kExtractor, DvrLayout::kFourChannel),
      overlay("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel);
  Recorder banner;
  extractor.SetListener0(&banner);  // a listener without time hears every text at once
  extractor.SetListener1(&overlay);
  const int64_t frameNs = 33'333'333;
  for (int k = 0; k < 3; ++k) {
    MetadataSample m;
    m.satellites = 10 + k;
    std::vector<uint8_t> compressed(5000, 0);
    PackMetadataSample(m, compressed.data() + kFrameMetadataOffset);
    extractor.Transform(compressed.data(), compressed.size(), k * frameNs);
    EXPECT_EQ(banner.calls[std::size_t(k) * 10 + 2].second, std::to_string(10 + k));
    Picture frame(360, 240, 128);
    overlay.TransformVideo(frame.data(), frame.bytes.size(), 360, 240, (k + 1) * frameNs);
    EXPECT_EQ(overlay.Texts()[kTextGpsSatCount], std::to_string(10 + k)) << "frame " << k;
  }

  // A stream far ahead of a stalled picture: the oldest held sets apply early.
  const int total = int(COverlayFilter::kMaxPendingTextSets) + 36;
  for (int i = 0; i < total; ++i)
    overlay.OnTimedMetadata("x", "Speed", std::to_string(i).c_str(), 10 * frameNs + i);
  EXPECT_EQ(overlay.PendingTextSets(), COverlayFilter::kMaxPendingTextSets);
  EXPECT_EQ(overlay.Texts()[kTextSpeed],
            std::to_string(total - int(COverlayFilter::kMaxPendingTextSets) - 1));
}

TEST(OverlayFilter, OverlaysOfOneRecordingShareItsFrameLock) {
  auto context = std::make_shared<RecordingContext>();
  COverlayFilter a("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel),
      b("Video Overlay 2", FilterRole::kOverlay, DvrLayout::kFourChannel),
      other("Video Overlay 1", FilterRole::kOverlay, DvrLayout::kFourChannel);
  EXPECT_NE(a.Context(), nullptr);  // each filter works alone too
  EXPECT_NE(a.Context(), other.Context());
  a.SetContext(context);
  b.SetContext(context);
  b.SetContext(nullptr);  // ignored
  EXPECT_EQ(&a.Context()->FrameLock(), &context->FrameLock());
  EXPECT_EQ(&b.Context()->FrameLock(), &context->FrameLock());
  // Both stream and take snapshots at once under the one lock.
  TempDir dir;
  std::atomic<bool> stop{false};
  std::thread second([&] {
    while (!stop) RunFrame(b, 360, 240);
  });
  for (int i = 0; i < 30; ++i) {
    RunFrame(a, 360, 240);
    EXPECT_TRUE(a.SaveSnapshot((dir / "a.jpg").string()));
  }
  stop = true;
  second.join();
  EXPECT_TRUE(b.SaveSnapshot((dir / "b.jpg").string()));
}

}  // namespace
