#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "metadata/dvr_layout.h"
#include "metadata/metadata_listener.h"

class RecordingContext;

// Whether the last 128 bytes of a frame of `length` bytes hold the
// two-channel DVR's three text lines (placement A or B): each slot ends in
// its NUL, no control bytes, at least one line not empty. False for frames
// shorter than the tail.
bool FrameHoldsTextLines(const uint8_t* frame, std::size_t length);

// Decodes metadata samples into labelled texts and hands each text to up to
// five listeners. One decoder belongs to one metadata extractor (a channel's
// extractor or the multi-metadata extractor of a metadata stream, or a live
// channel).
//
// Threads: ParseMetadataSample runs on the thread that delivers samples (a
// streaming thread or the live receive thread); listeners are called on that
// thread before it returns. SetListener may be called from any thread.
class MetadataDecoder {
 public:
  static constexpr int kListenerSlots = 5;

  // A two-channel `dvrKind` starts the decoder in the text-line variant of
  // the two-channel DVR. `context` is the recording's (or live session's) shared
  // state the decoder reports the DVR type to; without one it reports nowhere.
  MetadataDecoder(std::string sourceName, DvrLayout dvrKind,
                  std::shared_ptr<RecordingContext> context = nullptr);
  ~MetadataDecoder();
  MetadataDecoder(const MetadataDecoder&) = delete;
  MetadataDecoder& operator=(const MetadataDecoder&) = delete;

  // For owners that make the decoder before they know the recording. Any
  // thread; takes effect from the next sample.
  void SetRecordingContext(std::shared_ptr<RecordingContext> context);

  // slot 0..4; nullptr empties the slot. Out-of-range slots are ignored.
  void SetListener(int slot, CMetadataInterface* listener);
  CMetadataInterface* Listener(int slot) const;

  // `data` holds `length` bytes: a 56-byte record, a compressed frame of
  // 5,000 bytes or more (record at byte 24, text lines in its last 128
  // bytes), or anything else, which is ignored. The bytes are only read,
  // never past `length`; `data` may be null when `length` is 0.
  //
  // Binary records deliver "UTC Time", "Local Time", "GPS Sat Count",
  // "Latitude", "Longitude", "Speed", "X Acceleration", "Y Acceleration",
  // "Z Acceleration", "Triggers" in that order, each to slots 0..4 before
  // the next text. Text-line frames deliver "Line1".."Line3" to slot 0, then
  // the same three to slot 1. A frame without the "META" magic whose tail
  // holds text lines (each slot ends in its NUL, at least one line is not
  // empty, no control bytes) switches the decoder to text lines without
  // delivering anything itself. Such a frame sets the context's DVR type to
  // two-channel; any other frame without the magic sets it to unknown.
  void ParseMetadataSample(const uint8_t* data, std::size_t length);

  // The DVR kind it started with, or the text-line layout once a frame
  // showed it.
  DvrLayout Layout() const { return layout_.load(); }
  bool TextLines() const { return IsTwoChannel(Layout()); }
  const std::string& SourceName() const { return sourceName_; }

 private:
  void Deliver(int firstSlot, int lastSlot, const char* label, const char* text);
  void DeliverTextLines(const uint8_t* frame, std::size_t length);
  void DeliverRecord(const uint8_t* record);
  void PublishDvrType(bool textLines);

  std::string sourceName_;
  std::atomic<DvrLayout> layout_;
  // Held only to copy the pointer: the context is written outside it.
  std::mutex contextMutex_;
  std::shared_ptr<RecordingContext> context_;
  std::array<std::atomic<CMetadataInterface*>, kListenerSlots> listeners_{};
};
