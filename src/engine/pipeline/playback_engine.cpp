// Transport: play, pause, stop, seek, step and positions; the engine's own
// threads.
#include "engine/pipeline/playback_engine.h"

#include <algorithm>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/timeline.h"

PlaybackEngine::PlaybackEngine(FrameConsumer* consumer, CMetadataInterface* listener, EngineEvents* events,
                               EngineConfig config)
    : consumer_(consumer), listener_(listener), events_(events), config_(std::move(config)) {
  gsth::EnsureGstInitialized();
  eventThread_ = std::thread([this] { EventLoop(); });
  preparer_ = std::thread([this] { PrepareLoop(); });
}

PlaybackEngine::~PlaybackEngine() {
  {
    std::lock_guard<std::mutex> l(prepareLock_);
    prepareQuit_ = true;
    jobs_.clear();
  }
  prepareWake_.notify_all();
  preparer_.join();
  CloseSequence();
  {
    std::lock_guard<std::mutex> l(eventLock_);
    quit_ = true;
  }
  eventWake_.notify_all();
  eventThread_.join();
}

PlaybackEngine::GraphPtr PlaybackEngine::Current() {
  std::lock_guard<std::mutex> l(lock_);
  return slots_ ? slots_->current().graph : nullptr;
}

void PlaybackEngine::Play() {
  GraphPtr cur;
  {
    std::lock_guard<std::mutex> l(lock_);
    if (!slots_ || !slots_->current().graph || !slots_->current().graph->Pipeline()) return;
    cur = slots_->current().graph;
    // At the very end of the recording nothing is left to play.
    if ((cur->AtEnd() || cur->HasError()) && !slots_->next().graph) return;
    playing_ = true;
    if (cur->AtEnd() || cur->HasError()) {
      AdvanceLocked();
      cur = nullptr;
    }
  }
  if (cur) cur->SetState(GST_STATE_PLAYING);
  FinishUnlocked({});
}

void PlaybackEngine::Pause() {
  playing_ = false;
  GraphPtr cur = Current();
  if (!cur || !cur->Pipeline()) return;
  // Returns once no further frame comes, so that the position holds still.
  cur->SetState(GST_STATE_PAUSED);
  cur->WaitSettled();
}

void PlaybackEngine::Stop() {
  Pause();
  SeekTo(0, true);
}

void PlaybackEngine::Seek(double perMille, int64_t centis) {
  SeekTo(SeekTarget(perMille, centis, total_), true);
}

void PlaybackEngine::SeekTo(int64_t t, bool show) {
  GraphPtr cur;
  int64_t offset = 0;
  {
    std::lock_guard<std::mutex> l(lock_);
    if (!slots_ || files_.empty()) return;
    std::vector<int64_t> starts, lengths;
    for (const SequenceFile& f : files_) {
      starts.push_back(f.start);
      lengths.push_back(f.end - f.start);
    }
    const int g = FileAt(starts, lengths, t);
    if (g != slots_->current().index) {
      if (GraphPtr old = slots_->current().graph) {
        old->SetConsumer(nullptr);
        old->SetListener(nullptr);
        old->SetState(GST_STATE_PAUSED);
      }
      slots_->SwitchTo(g);
      ApplyRoutingLocked();
      ArrangeLocked(arrangedQuad_, -1, nullptr);
      if (events_) Post([this, g] { events_->OnFileChanged(g); });
      cur = slots_->current().graph;
      if (cur && cur->HasError() && events_) {
        // The file the seek landed in can't be played; the user hears why.
        const std::string message = cur->ErrorText();
        Post([this, g, message] { events_->OnPlaybackError(g, message); });
      }
    }
    cur = slots_->current().graph;
    if (!cur || !cur->Pipeline()) return;
    // A target past the file's last frame shows that last frame: the frame
    // that lies at the end of the recording.
    offset = OffsetInFile(t, cur->StartOffset());
    const int64_t length = files_[size_t(g)].end - files_[size_t(g)].start;
    if (length > 0 && offset >= length) offset = length - 1;
    if (!show) cur->SetConsumer(nullptr);
  }
  FinishUnlocked({});
  if (cur->WaitReady() == kGraphOk) {
    cur->SeekTo(CentisToNanos(offset));
    cur->SetState(playing_ ? GST_STATE_PLAYING : GST_STATE_PAUSED);
    cur->WaitSettled();
  }
  if (!show) {
    std::lock_guard<std::mutex> l(lock_);
    if (slots_ && slots_->current().graph == cur) cur->SetConsumer(consumer_);
  }
}

void PlaybackEngine::StepFrame(int direction, bool show) {
  // Within a step of the end a forward step stays on the last frame.
  const int64_t target = std::min(StepTarget(GetPositionCentis(), direction), total_.load());
  SeekTo(target, show);
  lastStepPosition_ = std::max(0.0, GetPosition());
}

int64_t PlaybackEngine::PositionOf(const GraphPtr& g) {
  if (!g) return 0;
  const int64_t ns = g->PositionNs();
  return g->StartOffset() + (ns > 0 ? NanosToCentis(ns) : 0);
}

int64_t PlaybackEngine::GetPositionCentis() {
  return PositionOf(Current());
}

double PlaybackEngine::GetPosition() {
  GraphPtr cur = Current();
  if (!cur) return 0.0;
  return PerMille(PositionOf(cur), total_);
}

// --- the engine's threads --------------------------------------------------------

// Both notify under the lock: a streaming thread's last touch of the engine
// is then ordered before the engine's end, which takes the same lock.
void PlaybackEngine::Post(std::function<void()> call) {
  std::lock_guard<std::mutex> l(eventLock_);
  calls_.push_back(std::move(call));
  eventWake_.notify_all();
}

void PlaybackEngine::PostBusNews(BusNews news) {
  std::lock_guard<std::mutex> l(eventLock_);
  news_.push_back(news);
  eventWake_.notify_all();
}

void PlaybackEngine::EventLoop() {
  std::unique_lock<std::mutex> l(eventLock_);
  for (;;) {
    eventWake_.wait(l, [this] { return quit_ || !news_.empty() || !calls_.empty(); });
    if (!calls_.empty()) {
      std::function<void()> call = std::move(calls_.front());
      calls_.pop_front();
      l.unlock();
      call();
      l.lock();
      continue;
    }
    if (!news_.empty()) {
      const BusNews news = news_.front();
      news_.pop_front();
      l.unlock();
      HandleBusNews(news);
      l.lock();
      continue;
    }
    if (quit_) return;
  }
}

void PlaybackEngine::FinishUnlocked(std::vector<GraphPtr> graphs) {
  std::vector<GraphPtr> dead = std::move(graphs), rewind;
  {
    std::lock_guard<std::mutex> l(lock_);
    if (slots_) {
      for (GraphPtr& g : slots_->TakeEvicted()) dead.push_back(std::move(g));
    }
    rewind.swap(toRewind_);
  }
  for (const GraphPtr& g : rewind) {
    if (g) g->SeekTo(0);
  }
  dead.clear();  // pipelines stop here, with no lock held
}
