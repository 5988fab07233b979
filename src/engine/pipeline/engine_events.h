#pragma once

#include <string>

// What a PlaybackEngine tells its user besides frames and metadata.
//
// Threads: called on the engine's own threads (bus handling, preparation of
// graphs), never on the caller of an engine operation and never with the
// engine lock held. An implementation hands the news to its own thread (the
// main window posts a queued call) and must not wait on the engine.
class EngineEvents {
 public:
  virtual ~EngineEvents() = default;

  // A file of the open sequence failed while it was played or prepared.
  // `message` is for the user; the engine has already moved on (to the next
  // file, or stopped at the end of the last one).
  virtual void OnPlaybackError(int fileIndex, const std::string& message) {
    (void)fileIndex;
    (void)message;
  }
  // The file being shown changed (a file ended, or a seek went to another).
  virtual void OnFileChanged(int fileIndex) { (void)fileIndex; }
  // The last file ended; playback stopped there.
  virtual void OnEndOfRecording() {}
  // Every transport command asked for so far (play, pause, stop, seek,
  // step) has been performed: the position queries tell the pipeline's own
  // position again.
  virtual void OnTransportSettled() {}
};
