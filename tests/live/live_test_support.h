#pragma once

// What the live tests share: a simulator on an ephemeral port, waiting on a
// condition while acting as the window thread, and a metadata recorder.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dvr_simulator.h"
#include "live/live_session.h"
#include "metadata/metadata_listener.h"

namespace livetest {

inline std::unique_ptr<dvrsim::DvrSimulator> StartSimulator(dvrsim::SimulatorOptions options = {}) {
  auto simulator = std::make_unique<dvrsim::DvrSimulator>(std::move(options));
  std::string error;
  EXPECT_TRUE(simulator->Start(error)) << error;
  return simulator;
}

inline LiveSessionConfig ConfigFor(const dvrsim::DvrSimulator& simulator) {
  LiveSessionConfig config;
  config.address = simulator.Address();
  config.audioSink = "fakesink sync=false";
  return config;
}

// Runs the window thread's side (Poll every few milliseconds) until
// `condition` holds or `limit` passes; true when it held. `failures` counts
// the Poll calls that reported a failed connection.
inline bool PollUntil(LiveSession& session, const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10), int* failures = nullptr) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (session.Poll() && failures) ++*failures;
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

// Waits without polling (a window that is busy elsewhere).
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return condition();
}

struct MetadataEvent {
  std::string source, label, text;
};

class MetadataRecorder : public CMetadataInterface {
 public:
  void OnMetadata(const char* source, const char* label, const char* text) override {
    std::lock_guard<std::mutex> hold(lock_);
    events_.push_back({source, label, text});
  }
  std::vector<MetadataEvent> Events() const {
    std::lock_guard<std::mutex> hold(lock_);
    return events_;
  }

 private:
  mutable std::mutex lock_;
  std::vector<MetadataEvent> events_;
};

}  // namespace livetest
