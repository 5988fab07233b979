#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "metadata/metadata_decoder.h"
#include "metadata/recording_context.h"
#include "metadata/text_lines.h"
#include "metadata/timed_metadata_listener.h"

// What one filter does, fixed at creation.
enum class FilterRole {
  kExtractor,  // compressed frames: decodes their metadata
  kOverlay,    // TOP-DOWN BGRx frames: deinterlaces, draws the metadata lines, keeps a frame copy
  kAudio,      // interleaved S16LE: mixes stereo pairs
  kMulti,      // 56-byte samples of a metadata stream: decodes them
};

// The logic of the system's own in-place filter, in one of the four roles.
// It is also a listener: overlays store the texts their extractors decode.
//
// Time: an extractor is told the running time of each sample it parses and
// hands it on with every text to listeners that take it
// (CTimedMetadataInterface). An overlay holds such texts back in a small
// time-ordered queue and draws them from the first frame whose time span
// reaches them, so frame N shows the metadata of sample N however far ahead
// the extractor runs. Texts without a time, and texts for a frame already
// drawn, apply at once.
//
// Threads: Transform runs on the filter's streaming thread; OnMetadata on
// the extractors' streaming threads (or the live receive thread); setters,
// ReleaseFrameCopy and SaveSnapshot on the window thread. All of them may
// overlap: texts are swapped under a per-filter mutex and copied out before
// drawing, switches are atomic, and the frame copy is guarded by the
// recording's frame lock (RecordingContext::FrameLock).
class COverlayFilter : public CTimedMetadataInterface {
 public:
  static constexpr int kListenerSlots = 5;
  static constexpr std::size_t kFrameCopyBytes = 2000000;
  // Text sets an overlay holds for frames still to come: a metadata stream
  // a second ahead at 60 fps fits; beyond that the oldest set applies early.
  static constexpr std::size_t kMaxPendingTextSets = 64;

  // `name` is passed as source name to listeners.
  COverlayFilter(std::string name, FilterRole role, DvrLayout dvrKind);
  ~COverlayFilter() override;
  COverlayFilter(const COverlayFilter&) = delete;
  COverlayFilter& operator=(const COverlayFilter&) = delete;

  // The frame lock's owner; call before streaming starts (the filter is
  // made with a context of its own). Null is ignored.
  void SetContext(std::shared_ptr<RecordingContext> context);
  const std::shared_ptr<RecordingContext>& Context() const { return context_; }

  // Processes one sample in place; `len` is its data length in bytes. The overlay
  // recognises the frame by `len` alone (4 bytes per pixel, see
  // VideoFrameSize); frames of any other size pass untouched. `timeNs` is the
  // sample's running time (extractor roles pass it on with their texts; the
  // video role draws the texts timed at or before it) or kNoTime.
  void Transform(uint8_t* data, std::size_t len, int64_t timeNs = kNoTime);

  // The overlay when the caller knows the frame's real size (a GStreamer frame
  // with width × 4 bytes per row): processes it only when that size is the
  // one `len` stands for, so a 480 × 640 frame is never taken for 640 × 480.
  // Texts timed before `dueBeforeNs` (the running time where the frame's
  // span ends) are drawn on it and later frames; kNoTime draws every text
  // received.
  //
  // `held`, when given (pointing at `data`, taken once the frame is
  // processed), keeps the processed frame alive as the snapshot frame
  // instead of a copy of its bytes; without it the frame is copied.
  // `deinterlaced`: the decoder has already deinterlaced the picture.
  using HeldFrame = std::shared_ptr<const uint8_t>;
  void TransformVideo(uint8_t* data, std::size_t len, int width, int height, int64_t dueBeforeNs = kNoTime,
                      const std::function<HeldFrame()>& held = {}, bool deinterlaced = false);

  // Drops the texts held for frames to come (after a flushing seek their
  // times belong to a timeline that no longer runs).
  void ClearPendingTexts();
  std::size_t PendingTextSets() const;

  // The frame size a role-1 sample of `len` bytes stands for with this DVR
  // kind; false for sizes the overlay leaves alone. `deinterlace` tells
  // whether frames of that size are deinterlaced (full-height frames).
  static bool VideoFrameSize(std::size_t len, DvrLayout dvrKind, int& width, int& height, bool& deinterlace);

  void OnMetadata(const char* sourceName, const char* label, const char* text) override;
  void OnTimedMetadata(const char* sourceName, const char* label, const char* text, int64_t timeNs) override;

  void SetOverlayOn(bool on) { overlayOn_ = on; }
  void SetGpsLinesOn(bool on) { gpsLinesOn_ = on; }
  void SetTimeLinesOn(bool on) { timeLinesOn_ = on; }
  void SetFastDeinterlace(bool on) { fastDeinterlace_ = on; }
  void SetStereoOn(bool on) { stereoOn_ = on; }
  // Percent, 0..100, both at once.
  void SetGains(int gainA, int gainB);
  // Listener slots (extractor roles deliver to them). Pointers are not
  // owned; a listener must outlive the filter or be removed first.
  void SetListener0(CMetadataInterface* listener);
  // Slot 1, clearing slots 2 to 4.
  void SetListener1(CMetadataInterface* listener);
  void SetListeners1to4(CMetadataInterface* l1, CMetadataInterface* l2, CMetadataInterface* l3,
                        CMetadataInterface* l4);

  // Frees the frame copy or lets go of the held frame (under the frame
  // lock); later frames are no longer kept and SaveSnapshot returns false.
  void ReleaseFrameCopy();

  // Writes the last frame that passed as a JPEG (quality 75, top row first;
  // rows doubled for the wide two-channel layout). False when no frame was kept or writing
  // failed.
  bool SaveSnapshot(const std::string& path) const;
  // The image SaveSnapshot would write, as packed RGB (snapshot_image.h):
  // false, and `rgb` empty, when no frame was kept.
  bool SnapshotImage(std::vector<uint8_t>& rgb, int& width, int& rows) const;

  FilterRole Role() const { return role_; }
  const std::string& Name() const { return name_; }
  // The DVR kind, which also tells whether the metadata is text lines: it
  // only changes from four-channel to the text-line layout, when that layout
  // is recognised or a "Line1".."Line3" text arrives.
  DvrLayout DvrKind() const;
  bool OverlayOn() const { return overlayOn_; }
  bool GpsLinesOn() const { return gpsLinesOn_; }
  bool TimeLinesOn() const { return timeLinesOn_; }
  bool FastDeinterlace() const { return fastDeinterlace_; }
  bool StereoOn() const { return stereoOn_; }
  int GainA() const { return gainA_; }
  int GainB() const { return gainB_; }
  CMetadataInterface* Listener(int slot) const;
  // A copy of the texts applied so far (not those held for later frames),
  // indexed by OverlayTextIndex.
  OverlayTexts Texts() const;
  // Size of the frame held in the copy; 0 × 0 before the first frame.
  void CopySize(int& width, int& height) const;

 private:
  // Stands in a decoder slot for the real listener, so each text goes on
  // with the time of the sample being parsed. Called on the parsing thread.
  class SlotForwarder : public CMetadataInterface {
   public:
    void Bind(const COverlayFilter* owner) { owner_ = owner; }
    void OnMetadata(const char* sourceName, const char* label, const char* text) override;
    std::atomic<CMetadataInterface*> target{nullptr};

   private:
    const COverlayFilter* owner_ = nullptr;
  };
  struct PendingTexts {
    int64_t timeNs = 0;
    std::array<std::optional<std::string>, kOverlayTextCount> texts;
  };

  void SetSlot(int slot, CMetadataInterface* listener);
  void TransformFrame(uint8_t* data, std::size_t len, int width, int height, bool deinterlace,
                      int64_t dueBeforeNs, const std::function<HeldFrame()>* held);
  void KeepFrame(const uint8_t* data, std::size_t len, int width, int height,
                 const std::function<HeldFrame()>* held);
  // Caller holds textsLock_.
  void StoreText(int index, const std::string& text);
  void ApplyPending(const PendingTexts& set);

  const std::string name_;
  const FilterRole role_;
  std::atomic<DvrLayout> dvrKind_;
  std::atomic<bool> fastDeinterlace_{false};
  std::atomic<bool> overlayOn_{true};
  std::atomic<bool> gpsLinesOn_{true};
  std::atomic<bool> timeLinesOn_{true};
  std::atomic<bool> stereoOn_{false};
  std::atomic<int> gainA_{100};
  std::atomic<int> gainB_{100};

  std::shared_ptr<RecordingContext> context_;

  // Extractor roles decode through this; its slots hold the forwarders of
  // the occupied listener slots.
  MetadataDecoder decoder_;
  std::array<SlotForwarder, kListenerSlots> forwarders_;
  // Running time of the sample being parsed (the parsing thread's own).
  std::atomic<int64_t> sampleTime_{kNoTime};

  mutable std::mutex textsLock_;
  OverlayTexts texts_;                // guarded by textsLock_
  std::deque<PendingTexts> pending_;  // guarded by textsLock_; in time order
  int64_t drawnUntil_ = kNoTime;      // guarded by textsLock_; end of the last frame's span
  OverlayTexts drawnTexts_;           // streaming thread only: what is being drawn

  // Guarded by context_->FrameLock(). The last frame is either held (a
  // reference, no copy) or copied into frameCopy_, made on first use.
  bool keepFrames_ = true;
  HeldFrame heldFrame_;
  std::unique_ptr<uint8_t[]> frameCopy_;
  int copyWidth_ = 0;
  int copyHeight_ = 0;
};
