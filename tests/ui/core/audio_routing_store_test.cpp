#include <gtest/gtest.h>

#include "base/settings.h"
#include "config_home.h"
#include "ui/core/audio_routing_store.h"

namespace {

[[maybe_unused]] ::testing::Environment* const kConfigHome =
    ::testing::AddGlobalTestEnvironment(new PrivateConfigHome);

void ClearRouting() {
  for (VideoView v : VideoView::All()) {
    for (int c = 0; c < 4; ++c) WriteSetting(RouteSettingName(v, c), "");
  }
  for (int c = 0; c < 4; ++c) WriteSetting(VolumeSettingName(c), "");
}

TEST(AudioRoutingStore, NamesDefaultsAndTolerantReading) {
  EXPECT_EQ(RouteSettingName(VideoView::Camera(1), 2), "Vid2Aud3");
  EXPECT_EQ(RouteSettingName(VideoView::Quad(), 1), "QuadAud2");
  EXPECT_EQ(VolumeSettingName(3), "Volume4");

  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> stored;
    void (*expect)(AudioRouting&);  // turns the defaults into the expected routing
  };
  const std::vector<Case> cases = {
      {"empty store: the diagonal, the whole quad column, full volume", {}, [](AudioRouting&) {}},
      {"yes and no in any case; other texts keep the default",
       {{"Vid1Aud2", "YES"}, {"Vid1Aud1", "No"}, {"Vid2Aud2", "1"}, {"QuadAud3", "no"}, {"Vid4Aud1", " yes"}},
       [](AudioRouting& r) {
         r.hear[0][1] = true;
         r.hear[0][0] = false;
         r.hear[4][2] = false;
       }},
      {"volumes: leading number, no number is 0, no range check",
       {{"Volume1", "abc"}, {"Volume2", "150"}, {"Volume3", "42x"}, {"Volume4", "-5"}},
       [](AudioRouting& r) {
         r.volume = {0, 150, 42, -5};
       }},
      {"a hostile volume saturates",
       {{"Volume1", "99999999999999999999"}},
       [](AudioRouting& r) { r.volume[0] = 2147483647; }},
  };
  for (const Case& c : cases) {
    ClearRouting();
    for (const auto& [name, value] : c.stored) WriteSetting(name, value);
    AudioRouting expected = DefaultAudioRouting();
    c.expect(expected);
    EXPECT_EQ(LoadAudioRouting(), expected) << c.what;
  }
  const AudioRouting d = DefaultAudioRouting();
  for (int v = 0; v < 5; ++v) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(d.hear[v][c], v == 4 || v == c);
  }
}

// Records what a player is told, in order.
struct RecordingPlayer {
  std::vector<std::string> calls;
  void SetAudioVolume(int channel, int percent) {
    calls.push_back("volume " + std::to_string(channel) + " " + std::to_string(percent));
  }
  void SetAudioRoute(VideoView view, int channel, bool on) {
    if (on) calls.push_back("route " + std::to_string(view.Number()) + " " + std::to_string(channel));
  }
};

TEST(AudioRoutingStore, AppliedToAPlayerVolumesFirst) {
  AudioRouting r = DefaultAudioRouting();
  r.volume = {10, 20, 30, 40};
  r.hear[4] = {false, true, false, false};
  RecordingPlayer player;
  ApplyAudioRouting(r, player);
  EXPECT_EQ(player.calls,
            (std::vector<std::string>{"volume 0 10", "volume 1 20", "volume 2 30", "volume 3 40", "route 0 0",
                                      "route 1 1", "route 2 2", "route 3 3", "route 4 1"}));
}

}  // namespace
