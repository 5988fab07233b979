#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "metadata/dvr_layout.h"
#include "ui/core/clock_display.h"

// The metadata the window shows in its banner: the last value of each
// label and the four banner lines built from them, fed by OnMetadata on
// streaming threads and read by the paint on the window thread.
//
// Threads: every member may be called from any thread; one internal lock
// guards the values and is held for one whole Receive or Lines call. Nothing
// calls out while holding it: a position for the map comes back as the
// result of Receive.
//
// Texts are single-byte DVR texts (Windows-1252): in the banner lines byte
// 0x8F becomes the degree sign 0xB0, and bytes 0x11 and 0x1A blanks.

// Which metadata sources the banner listens to (OnMetadata's filter).
struct BannerSourceFilter {
  bool hasPlayback = false;  // without a recording every source is heard
  bool hasRecordingInfo = false;
  DvrLayout dvrKind = DvrLayout::kFourChannel;  // stacked: both cameras' metadata come from extractor 1
  int metadataChannel = 1;                      // 1..4, the channel whose metadata feeds the banner
};
// Whether a call from `source` ("Meta Data Extractor 3") reaches the banner.
bool AcceptBannerSource(const std::string& source, const BannerSourceFilter& filter);

// A position for the map window, decimal degrees (south and west negative).
struct MapPosition {
  double latitude = 0, longitude = 0;
  bool operator==(const MapPosition&) const = default;
};

class BannerBoard {
 public:
  // The samples of a source that goes on delivering after the window moved
  // on (a closing engine) carry a ticket; a source torn down before the
  // window moves on (the live session) needs none.
  static constexpr uint64_t kAnyTicket = ~uint64_t(0);
  // A ticket for the next source; every earlier ticket is retired.
  uint64_t OpenTicket();
  // From now on the samples of every ticket handed out so far are dropped.
  // Checked under the lock that keeps a sample: a retirement either comes
  // before a sample and drops it, or after, and the lines are cleared next.
  void RetireTickets();

  // Applies one labelled text ("Latitude", "Line2", ...); `dvrTitle` is the
  // recording's DVR title for banner line 0. Returns the position to hand
  // to the map when the label updates it; a sample of a retired ticket
  // changes nothing.
  std::optional<MapPosition> Receive(const std::string& label, const std::string& text,
                                     const std::string& dvrTitle, uint64_t ticket = kAnyTicket);
  // A copy of banner lines 0..3.
  std::array<std::string, 4> Lines() const;
  // Empties the four lines; the kept values (satellites, position, speed,
  // accelerations) survive into the next recording.
  void ClearLines();

  // Forgets the kept position: a live stream's map starts from the unit's
  // own positions, never from the recording shown before.
  void ForgetPosition();

  // The clock the time line shows and the examiner's correction of the
  // recorder's clock (ui/core/clock_display.h); the line is made again at once.
  void SetClock(ClockShown clock, int64_t correctionMillis);

  // The kept values, for tests and the map.
  std::string Latitude() const;
  std::string Longitude() const;

 private:
  mutable std::mutex lock_;
  uint64_t ticket_ = 0;  // the newest source's
  std::array<std::string, 4> lines_;
  std::string satellites_, latitude_, longitude_, speed_;
  std::string utcTime_, localTime_;
  ClockShown clock_ = ClockShown::kRecording;
  int64_t correctionMillis_ = 0;
  std::array<std::string, 3> acceleration_;  // x, y, z
};

// Position decoding of the two-channel DVR's text lines; each gives the
// latitude and/or longitude texts ("%.4f", "-%.4f" south or west) it found.
// Out-of-range characters read as absent, never past the text.
struct DecodedPosition {
  std::optional<std::string> latitude, longitude;
  bool operator==(const DecodedPosition&) const = default;
};
DecodedPosition DecodeLine2Position(const std::string& line);
DecodedPosition DecodeLine3Position(const std::string& line);

// The Video > Metadata display modes.
enum class MetadataDisplay { kHide, kOverlay, kBanner, kBoth };
struct DisplayFlags {
  bool overlayOn = false;  // drawn onto the frames by the overlays
  bool bannerOn = true;    // drawn in the banner strips by the window
  bool operator==(const DisplayFlags&) const = default;
};
DisplayFlags FlagsForDisplay(MetadataDisplay mode);
