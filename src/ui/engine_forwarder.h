#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "engine/pipeline/engine_events.h"
#include "metadata/metadata_listener.h"

class QObject;

// One engine's way to the window for everything but its frames (those take
// a FrameRelay::Feed): its channels' metadata and its news. An engine that
// was closed goes on delivering for a moment while it is torn down
// elsewhere; once Retire has returned, nothing of it reaches the window.
//
// News is handed to the window's thread by a queued call that is dropped
// there when the forwarder was retired in the meantime; Retire runs on that
// thread, so the check is exact. Metadata goes on to `metadata` on the
// streaming thread that decoded it, which is where the sample is kept: the
// receiver checks the sample's own ticket under the lock it keeps it with
// (BannerBoard), and retiring here only spares it the work.
//
// Threads: OnMetadata and the EngineEvents on the engine's threads; Retire
// on the window's thread. The forwarder outlives its engine and the window
// outlives the forwarder; a queued call may outlive the forwarder.
class EngineForwarder final : public CMetadataInterface, public EngineEvents {
 public:
  using MetadataSink = std::function<void(const char* sourceName, const char* label, const char* text)>;
  // `news` hears each call on the thread of `window`, which it belongs to.
  EngineForwarder(QObject& window, EngineEvents& news, MetadataSink metadata);

  void Retire() { state_->retired = true; }
  bool Retired() const { return state_->retired; }

  void OnMetadata(const char* sourceName, const char* label, const char* text) override;
  void OnPlaybackError(int fileIndex, const std::string& message) override;
  void OnFileChanged(int fileIndex) override;
  void OnEndOfRecording() override;
  void OnTransportSettled() override;

 private:
  // Runs `call` on the window's thread unless the forwarder was retired by then.
  void Post(std::function<void(EngineEvents&)> call);

  struct State {
    std::atomic<bool> retired{false};
  };
  const std::shared_ptr<State> state_ = std::make_shared<State>();
  QObject& window_;
  EngineEvents& news_;
  const MetadataSink metadata_;
};
