#include "export/frame_workers.h"

#include <algorithm>

namespace video_export {

FrameWorkers::FrameWorkers(int count, Job job)
    : job_(std::move(job)), done_(std::size_t(std::max(count, 0))) {
  for (int w = 0; w < count; ++w) threads_.emplace_back([this, w] { Run(w); });
}

FrameWorkers::~FrameWorkers() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stop_ = true;
  }
  posted_cv_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void FrameWorkers::Post(int64_t frame) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    posted_ = std::max(posted_, frame + 1);
  }
  posted_cv_.notify_all();
}

void FrameWorkers::WaitFor(int64_t frame) {
  std::unique_lock<std::mutex> hold(lock_);
  done_cv_.wait(
      hold, [&] { return std::all_of(done_.begin(), done_.end(), [&](int64_t n) { return n > frame; }); });
}

void FrameWorkers::Run(int worker) {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    posted_cv_.wait(hold, [&] { return stop_ || done_[std::size_t(worker)] < posted_; });
    if (stop_) return;
    const int64_t frame = done_[std::size_t(worker)];
    hold.unlock();
    job_(worker, frame);
    hold.lock();
    ++done_[std::size_t(worker)];
    hold.unlock();
    done_cv_.notify_all();
    hold.lock();
  }
}

}  // namespace video_export
