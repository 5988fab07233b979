#include "engine/pipeline/transport_queue.h"

#include <algorithm>
#include <utility>

TransportQueue::TransportQueue(Perform perform, Settled settled)
    : perform_(std::move(perform)), settled_(std::move(settled)) {
  thread_ = std::thread([this] { Run(); });
}

TransportQueue::~TransportQueue() {
  {
    std::lock_guard<std::mutex> l(lock_);
    quit_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

uint64_t TransportQueue::Post(const TransportCommand& command) {
  uint64_t number;
  {
    std::lock_guard<std::mutex> l(lock_);
    number = ++posted_;
    if (command.kind == TransportCommand::Kind::kSeek) {
      queue_.erase(
          std::remove_if(queue_.begin(), queue_.end(),
                         [](const Entry& e) { return e.command.kind == TransportCommand::Kind::kSeek; }),
          queue_.end());
      pendingSeek_ = Entry{number, command};
    }
    queue_.push_back({number, command});
  }
  wake_.notify_all();
  return number;
}

std::optional<TransportCommand> TransportQueue::PendingSeek() const {
  std::lock_guard<std::mutex> l(lock_);
  if (!pendingSeek_) return std::nullopt;
  return pendingSeek_->command;
}

void TransportQueue::ForgetPendingUnlocked() {
  // The seek being performed, if any, is still where the user goes.
  if (running_ && running_->command.kind == TransportCommand::Kind::kSeek)
    pendingSeek_ = running_;
  else
    pendingSeek_.reset();
}

void TransportQueue::Drop() {
  {
    std::lock_guard<std::mutex> l(lock_);
    queue_.clear();
    ForgetPendingUnlocked();
    if (!running_) idle_.notify_all();
  }
}

bool TransportQueue::WaitSettled(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> l(lock_);
  return idle_.wait_for(l, limit, [this] { return queue_.empty() && !running_; });
}

uint64_t TransportQueue::Posted() const {
  std::lock_guard<std::mutex> l(lock_);
  return posted_;
}

void TransportQueue::Run() {
  std::unique_lock<std::mutex> l(lock_);
  for (;;) {
    wake_.wait(l, [this] { return quit_ || !queue_.empty(); });
    if (quit_) return;
    running_ = std::move(queue_.front());
    queue_.pop_front();
    const TransportCommand command = running_->command;
    l.unlock();
    perform_(command);
    l.lock();
    if (pendingSeek_ && pendingSeek_->number == running_->number) pendingSeek_.reset();
    running_.reset();
    if (queue_.empty()) {
      const uint64_t posted = posted_;
      idle_.notify_all();
      l.unlock();
      if (settled_) settled_(posted);
      l.lock();
    }
  }
}
