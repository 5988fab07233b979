#pragma once

// A thread per camera for the export's pictures: every posted frame is
// handed to each worker, which does its camera's part of it (read, decode,
// overlay, convert into its cell), frames in the order posted. The caller
// keeps a few frames in flight and waits for the oldest before it sends it
// on, so the cameras decode side by side while the encoder works.
//
// The job runs without the lock held; it must not throw. The destructor
// lets the jobs under way finish, then joins every worker.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace video_export {

class FrameWorkers {
 public:
  using Job = std::function<void(int worker, int64_t frame)>;
  FrameWorkers(int count, Job job);
  ~FrameWorkers();
  FrameWorkers(const FrameWorkers&) = delete;
  FrameWorkers& operator=(const FrameWorkers&) = delete;

  // Every worker does `frame` next; frames are posted 0, 1, 2...
  void Post(int64_t frame);
  // Returns once every worker has done `frame`.
  void WaitFor(int64_t frame);

 private:
  void Run(int worker);

  const Job job_;
  std::mutex lock_;
  std::condition_variable posted_cv_, done_cv_;
  int64_t posted_ = 0;         // frames posted
  std::vector<int64_t> done_;  // frames done, per worker
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace video_export
