#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// One transport request of the user: play, pause, go to a time, or move by
// exactly one frame.
struct TransportCommand {
  enum class Kind { kPlay, kPause, kSeek, kFrame };
  Kind kind = Kind::kPlay;
  int64_t centis = 0;    // kSeek: the target on the timeline, hundredths
  double perMille = -1;  // kSeek: the slider position it came from, -1 none
  bool show = true;      // kSeek: hand the frame at the target on
  bool step = false;     // kSeek: made by a frame step
  int direction = 0;     // kFrame: -1 back, 1 on
  int channel = 0;       // kFrame: the camera whose frames count
};

// Performs transport commands in the order they were posted, on a thread of
// its own, so that the poster never waits for a pipeline. A seek supersedes
// every seek still queued (a slider drag leaves one seek, not hundreds); a
// command already being performed runs to its end.
//
// Threads: Post, PendingSeek, Drop and WaitSettled from any thread; `perform`
// and `settled` run on the queue's thread, without the queue's lock.
class TransportQueue {
 public:
  using Perform = std::function<void(const TransportCommand&)>;
  // Told each time the queue runs empty: every command posted up to
  // number `posted` has been performed or dropped.
  using Settled = std::function<void(uint64_t posted)>;

  TransportQueue(Perform perform, Settled settled);
  // Drops what is queued, lets the command in progress finish, joins.
  ~TransportQueue();
  TransportQueue(const TransportQueue&) = delete;
  TransportQueue& operator=(const TransportQueue&) = delete;

  // Returns the command's number, counting from 1.
  uint64_t Post(const TransportCommand& command);
  // The newest seek that is queued or being performed, if any: where the
  // user has asked to be, before the pipeline is there.
  std::optional<TransportCommand> PendingSeek() const;
  // Forgets the queued commands (a recording closed or replaced).
  void Drop();
  // Waits until every command posted so far has been performed; false when
  // `limit` passed first. For headless callers and tests, never a window.
  bool WaitSettled(std::chrono::milliseconds limit);
  uint64_t Posted() const;

 private:
  struct Entry {
    uint64_t number;
    TransportCommand command;
  };
  void Run();
  void ForgetPendingUnlocked();

  Perform perform_;
  Settled settled_;
  mutable std::mutex lock_;
  std::condition_variable wake_, idle_;
  std::deque<Entry> queue_;           // guarded by lock_
  std::optional<Entry> running_;      // guarded by lock_
  std::optional<Entry> pendingSeek_;  // guarded by lock_
  uint64_t posted_ = 0;               // guarded by lock_
  bool quit_ = false;                 // guarded by lock_
  std::thread thread_;
};
