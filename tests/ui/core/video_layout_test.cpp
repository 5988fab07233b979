#include <gtest/gtest.h>

#include "ui/core/video_layout.h"

namespace {

// The template's video margins in pixels: 11 left, 31 top, 10 right, 112 bottom.
constexpr int kML = 11, kMT = 31, kMR = 10, kMB = 112;

// A client whose video area (before bars) is w x h.
VideoAreaInput AreaOf(int w, int h, int extra = 0, bool quad = false, bool stacked = false) {
  VideoAreaInput in;
  in.clientWidth = kML + w + kMR;
  in.clientHeight = kMT + h + kMB - extra;
  in.extraHeight = extra;
  in.quad = quad;
  in.stackedLayout = stacked;
  return in;
}

TEST(VideoLayout, CapturedFromTheTemplateThroughOneScale) {
  const CapturedLayout c = CaptureLayout();
  EXPECT_EQ(c.initialWidth, 678);   // 452 units x 1.5
  EXPECT_EQ(c.initialHeight, 481);  // 296 units x 1.625
  EXPECT_EQ(c.marginLeft, kML);
  EXPECT_EQ(c.marginTop, kMT);
  EXPECT_EQ(c.marginRight, kMR);
  EXPECT_EQ(c.marginBottom, kMB);
  EXPECT_DOUBLE_EQ(c.ratioW, 657.0 / 678);
  EXPECT_DOUBLE_EQ(c.ratioH, 338.0 / 481);
  EXPECT_EQ(c.controls.size(), BarControls().size());
  // Every button has a tooltip; only the slider has none.
  for (const ControlInfo& info : BarControls())
    EXPECT_EQ(info.tooltip == nullptr, info.id == kPositionSlider);
}

TEST(VideoLayout, AreaRatioBarsAndPanes) {
  struct Case {
    const char* what;
    VideoAreaInput in;
    PixelRect area;
    int letterbox, pillarbox;
    std::vector<PixelRect> bars;
    std::array<PixelRect, 4> panes;  // all equal to area when empty
  };
  const CapturedLayout c = CaptureLayout();
  VideoAreaInput exact = AreaOf(340, 240);  // 17/12 exactly: keeps the previous bars
  exact.previousLetterbox = 5;
  const std::vector<Case> cases = {
      {"too wide: pillarbox 117 split 58 + 58",
       AreaOf(400, 200),
       {69, 31, 353, 231},
       0,
       117,
       {{11, 31, 69, 236}, {353, 31, 421, 236}},
       {}},
      {"too tall: letterbox 118 split 59 + 59",
       AreaOf(400, 400),
       {11, 90, 411, 372},
       118,
       0,
       {{11, 31, 411, 90}, {11, 372, 411, 431}},
       {}},
      {"exact ratio keeps the area and the previous bars",
       exact,
       {11, 31, 351, 271},
       5,
       0,
       {{11, 31, 351, 33}, {11, 269, 351, 271}},
       {}},
      {"quad grid of halves",
       AreaOf(400, 200, 0, true),
       {69, 31, 353, 231},
       0,
       117,
       {{11, 31, 69, 236}, {353, 31, 421, 236}},
       {{{69, 31, 211, 131}, {211, 31, 353, 131}, {69, 131, 211, 231}, {211, 131, 353, 231}}}},
      {"stacked two-camera quad: 2/3 and one window",
       AreaOf(400, 200, 0, true, true),
       {144, 31, 278, 231},
       0,
       267,
       {{11, 31, 144, 236}, {278, 31, 421, 236}},
       {}},
      {"hidden interface: the area reaches 60 px lower",
       AreaOf(400, 200, 60),
       {69, 31, 353, 231},
       0,
       117,
       {{11, 31, 69, 236}, {353, 31, 421, 236}},
       {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const VideoAreaLayout v = LayoutVideoArea(c, k.in);
    EXPECT_EQ(v.area, k.area);
    EXPECT_EQ(v.letterbox, k.letterbox);
    EXPECT_EQ(v.pillarbox, k.pillarbox);
    EXPECT_EQ(v.bars, k.bars);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(v.panes[i], k.panes[0].width() ? k.panes[i] : k.area) << i;
    // The banners hug the unbarred video area: 30 px above (3 into it) and 30 below.
    const int right = k.in.clientWidth - kMR, bottom = k.in.clientHeight - kMB;
    EXPECT_EQ(v.topBanner, (PixelRect{kML, kMT - 30, right, kMT + 3}));
    EXPECT_EQ(v.bottomBanner, (PixelRect{kML, bottom, right, bottom + 30}));
    EXPECT_EQ(DrawnBottomBanner(v, k.in.extraHeight).top, bottom + k.in.extraHeight);
  }
}

TEST(VideoLayout, BarControlsFollowTheirEdges) {
  const CapturedLayout c = CaptureLayout();
  struct Case {
    int id;
    PixelRect atInitialSize;
    PixelRect grown;  // 100 px wider, 50 px taller
  };
  const std::vector<Case> cases = {
      {kPlayButton, {110, 424, 144, 450}, {110, 474, 144, 500}},               // left, bottom
      {kQuadButton, {614, 424, 648, 450}, {714, 474, 748, 500}},               // right, bottom
      {kPositionSlider, {11, 403, 668, 423}, {11, 453, 768, 473}},             // stretches
      {kSkipForwardActiveButton, {278, 424, 312, 450}, {278, 474, 312, 500}},  // on its normal look's place
      {kSkipBackActiveButton, {236, 424, 270, 450}, {236, 474, 270, 500}},
  };
  const auto initial = PlaceBarControls(c, c.initialWidth, c.initialHeight);
  const auto grown = PlaceBarControls(c, c.initialWidth + 100, c.initialHeight + 50);
  ASSERT_EQ(initial.size(), BarControls().size());
  for (const Case& k : cases) {
    for (size_t i = 0; i < initial.size(); ++i) {
      if (initial[i].id != k.id) continue;
      EXPECT_EQ(initial[i].rect, k.atInitialSize) << k.id;
      EXPECT_EQ(grown[i].rect, k.grown) << k.id;
    }
  }
}

TEST(VideoLayout, HiddenControlsSkipLooksAndOneToOne) {
  const CapturedLayout c = CaptureLayout();
  const int W0 = c.initialWidth, H0 = c.initialHeight;
  struct Hidden {
    int w, h;
    bool interfaceHidden, hidden;
  };
  for (const Hidden& k : std::vector<Hidden>{{W0, H0, false, false},
                                             {W0 - 1, H0, false, true},
                                             {W0, H0 - 1, false, true},
                                             {W0 + 500, H0 + 500, true, true}}) {
    EXPECT_EQ(BarControlsHidden(c, k.w, k.h, k.interfaceHidden), k.hidden) << k.w << "x" << k.h;
  }

  EXPECT_EQ(SkipLooksForSpeed(0), (SkipButtonLooks{true, false, true, false}));
  EXPECT_EQ(SkipLooksForSpeed(2), (SkipButtonLooks{true, false, false, true}));
  EXPECT_EQ(SkipLooksForSpeed(-1), (SkipButtonLooks{false, true, true, false}));

  // Never smaller than the initial size; a large video asks for video / ratio.
  EXPECT_EQ(OneToOneWindowSize(c, 320, 240), (WindowSize{W0, H0}));
  EXPECT_EQ(OneToOneWindowSize(c, 1280, 960), (WindowSize{1320, 1366}));
  EXPECT_EQ(OneToOneWindowSize(c, 1280, 100), (WindowSize{1320, H0}));

  EXPECT_EQ(StatusStripRect(678, 481), (PixelRect{0, 463, 678, 481}));
}

}  // namespace

namespace {

TEST(VideoLayout, PicturesAtTheirOwnAspectAndTheWindowsSizes) {
  struct Aspect {
    int width, height;
    double stated, want;
  };
  for (const Aspect& a : std::vector<Aspect>{{720, 576, 0, 1.25},
                                             {720, 480, 0, 1.5},
                                             {640, 240, 0, 4.0 / 3},  // one field of 640x480
                                             {320, 480, 0, 2.0 / 3},  // two stacked cameras
                                             {720, 576, 16.0 / 9, 16.0 / 9},
                                             {0, 480, 0, 0}})
    EXPECT_DOUBLE_EQ(PictureAspect(a.width, a.height, a.stated), a.want) << a.width << "x" << a.height;

  struct Fit {
    PixelRect box;
    double aspect;
    PixelRect want;
  };
  for (const Fit& f : std::vector<Fit>{{{0, 0, 500, 500}, 1.25, {0, 50, 500, 450}},   // letterbox
                                       {{10, 0, 510, 200}, 1.5, {110, 0, 410, 200}},  // pillarbox
                                       {{0, 0, 300, 200}, 1.5, {0, 0, 300, 200}},     // exact
                                       {{0, 0, 300, 200}, 0, {0, 0, 300, 200}}})      // unknown
    EXPECT_EQ(FitPicture(f.box, f.aspect), f.want) << f.aspect;

  const CapturedLayout c = CaptureLayout();
  // A 720x480 area in a layout that lays out for 3:2 gets no bars at all.
  VideoAreaInput in = AreaOf(720, 480);
  in.pictureAspect = 1.5;
  const VideoAreaLayout v = LayoutVideoArea(c, in);
  EXPECT_EQ(v.area.width(), 720);
  EXPECT_EQ(v.area.height(), 480);
  EXPECT_TRUE(v.bars.empty());
  // Full screen: the width of the client, the banners' rows only above and below.
  in.fullScreen = true;
  in.clientWidth = 1280;
  in.clientHeight = 1024;
  const VideoAreaLayout full = LayoutVideoArea(c, in);
  EXPECT_EQ(full.area, (PixelRect{0, 85, 1280, 939}));
  EXPECT_EQ(full.topBanner.top, 0);
  // Video Size 1:1 counts the margins, the timeline and the hidden bar.
  EXPECT_EQ(ExactVideoClientSize(c, 720, 480, 128, 0), (WindowSize{741, 751}));
  EXPECT_EQ(ExactVideoClientSize(c, 720, 480, 0, kHiddenInterfaceExtraHeight), (WindowSize{741, 563}));

  struct Opening {
    int availableWidth, availableHeight;
    WindowSize want;
  };
  for (const Opening& o : std::vector<Opening>{{1280, 1024 - 23, {1045, 817}},  // two thirds of the area
                                               {800, 600, {678, 489}},          // the template at least
                                               {640, 480, {640, 480}}})         // never past the screen
    EXPECT_EQ(OpeningWindowSize(c, o.availableWidth, o.availableHeight), o.want) << o.availableWidth;
}

}  // namespace
