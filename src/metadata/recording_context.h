#pragma once

#include <atomic>
#include <mutex>

// What the filters of one recording's graph (or of one live session) share,
// in place of process-wide state: each graph makes one and hands it to its
// filters before they stream, and keeps it alive as long as they are.
//
// Threads: the frame lock is taken by streaming threads (to replace a frame
// copy) and the window thread (to read one for a snapshot), each for one
// block copy; the DVR type is written by a streaming thread once the layout
// is recognised and read by anyone.
class RecordingContext {
 public:
  enum class DvrType { kNotKnown, kFourChannel, kTwoChannel, kUnknown };

  // Guards every overlay's frame copy of this recording.
  std::mutex& FrameLock() const { return frameLock_; }

  DvrType Type() const { return type_.load(std::memory_order_acquire); }
  void SetType(DvrType t) { type_.store(t, std::memory_order_release); }
  // "4 Channel DVR", "2 Channel DVR", "Unknown DVR Type", or "N/A" before
  // anything has set it.
  const char* TypeText() const { return TypeText(Type()); }
  static const char* TypeText(DvrType t) {
    switch (t) {
      case DvrType::kFourChannel:
        return "4 Channel DVR";
      case DvrType::kTwoChannel:
        return "2 Channel DVR";
      case DvrType::kUnknown:
        return "Unknown DVR Type";
      case DvrType::kNotKnown:
        break;
    }
    return "N/A";
  }

 private:
  mutable std::mutex frameLock_;
  std::atomic<DvrType> type_{DvrType::kNotKnown};
};
