#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "metadata/metadata_listener.h"

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

  // `dvrKind` nonzero starts the decoder in the text-line variant of the
  // two-channel DVR.
  MetadataDecoder(std::string sourceName, int dvrKind);

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
  // the same three to slot 1. A frame without the "META" magic whose tail has
  // the text-line layout switches the decoder to text lines (and sets
  // DvrTypeText to "2 Channel DVR") without delivering anything itself.
  void ParseMetadataSample(const uint8_t* data, std::size_t length);

  // Nonzero once the text-line layout is known (starts at the DVR kind).
  int TextLineFlag() const { return textLineFlag_.load(); }
  const std::string& SourceName() const { return sourceName_; }

 private:
  void Deliver(int firstSlot, int lastSlot, const char* label, const char* text);
  void DeliverTextLines(const uint8_t* frame, std::size_t length);
  void DeliverRecord(const uint8_t* record);

  std::string sourceName_;
  std::atomic<int> textLineFlag_;
  std::array<std::atomic<CMetadataInterface*>, kListenerSlots> listeners_{};
};
