#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

// Runs the window's evidence exports (tracks, packages) one at a time on a
// thread of their own, so the window keeps answering while a long trip is
// read. The result reaches the window thread by a queued call.
//
// Threads: Start() and the destructor on the window thread; the job on the
// worker thread; `done` on the thread of `context`.
class EvidenceWorker {
 public:
  EvidenceWorker() = default;
  // Asks a running job to stop and waits for it.
  ~EvidenceWorker();
  EvidenceWorker(const EvidenceWorker&) = delete;
  EvidenceWorker& operator=(const EvidenceWorker&) = delete;

  bool Busy() const { return busy_; }
  // False (and nothing started) while a job runs. `job` returns the text to
  // show; it may watch Cancelled().
  bool Start(QObject* context, std::function<std::string()> job,
             std::function<void(const std::string&)> done);
  const std::atomic<bool>& Cancelled() const { return cancel_; }

 private:
  std::thread thread_;
  std::atomic<bool> busy_{false};
  std::atomic<bool> cancel_{false};
};
