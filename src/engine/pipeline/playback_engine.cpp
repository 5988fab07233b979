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
  transport_ = std::make_unique<TransportQueue>([this](const TransportCommand& c) { Perform(c); },
                                                [this](uint64_t) {
                                                  if (events_)
                                                    Post([this] { events_->OnTransportSettled(); });
                                                });
}

PlaybackEngine::~PlaybackEngine() {
  transport_.reset();
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

bool PlaybackEngine::HasSequence(bool playableGraph) {
  std::lock_guard<std::mutex> l(lock_);
  if (!slots_ || files_.empty()) return false;
  return !playableGraph || (slots_->current().graph && slots_->current().graph->Pipeline());
}

// --- posting: the caller's side ----------------------------------------------

void PlaybackEngine::Play() {
  if (!HasSequence(true)) return;
  playing_ = true;
  transport_->Post({TransportCommand::Kind::kPlay});
}

void PlaybackEngine::Pause() {
  playing_ = false;
  if (!HasSequence(false)) return;
  transport_->Post({TransportCommand::Kind::kPause});
}

void PlaybackEngine::Stop() {
  Pause();
  if (!HasSequence(false)) return;
  transport_->Post({TransportCommand::Kind::kSeek, 0});
}

void PlaybackEngine::Seek(double perMille, int64_t centis) {
  if (!HasSequence(false)) return;
  const int64_t total = total_;
  TransportCommand c{TransportCommand::Kind::kSeek, SeekTarget(perMille, centis, total)};
  // A slider position reads back as itself while the seek is on its way.
  if (!(centis >= 0 && centis <= total) && perMille >= 0 && perMille <= 1000) c.perMille = perMille;
  transport_->Post(c);
}

void PlaybackEngine::StepFrame(int direction, bool show) {
  if (!HasSequence(false)) return;
  // From where the previous command leaves the position: steps posted in a
  // row add up. Within a step of the end a forward step stays on the last
  // frame.
  const int64_t target = std::min(StepTarget(GetPositionCentis(), direction), total_.load());
  TransportCommand c{TransportCommand::Kind::kSeek, target};
  c.show = show;
  c.step = true;
  transport_->Post(c);
}

bool PlaybackEngine::WaitTransport(std::chrono::milliseconds limit) {
  return transport_->WaitSettled(limit);
}

// --- performing: the transport thread's side ------------------------------------

void PlaybackEngine::Perform(const TransportCommand& c) {
  switch (c.kind) {
    case TransportCommand::Kind::kPlay:
      PlayNow();
      break;
    case TransportCommand::Kind::kPause:
      PauseNow();
      break;
    case TransportCommand::Kind::kSeek:
      SeekTo(c.centis, c.show);
      if (c.step) lastStepPosition_ = std::max(0.0, PerMille(c.centis, total_));
      break;
  }
}

void PlaybackEngine::PlayNow() {
  GraphPtr cur;
  {
    std::lock_guard<std::mutex> l(lock_);
    if (!slots_ || !slots_->current().graph || !slots_->current().graph->Pipeline()) return;
    cur = slots_->current().graph;
    // At the very end of the recording nothing is left to play.
    if ((cur->AtEnd() || cur->HasError()) && !slots_->next().graph) {
      playing_ = false;
      return;
    }
    if (!playing_) return;  // a pause posted since
    if (cur->AtEnd() || cur->HasError()) {
      AdvanceLocked();
      cur = nullptr;
    }
  }
  if (cur) cur->SetState(GST_STATE_PLAYING);
  FinishUnlocked({});
}

void PlaybackEngine::PauseNow() {
  GraphPtr cur, early;
  {
    std::lock_guard<std::mutex> l(lock_);
    if (!slots_) return;
    cur = slots_->current().graph;
    // A next file already started to follow the current one seamlessly
    // waits on its first frame again.
    if (GraphPtr next = slots_->next().graph; next && next->StartedAhead()) {
      next->SetConsumer(nullptr);
      next->SetListener(nullptr);
      toRewind_.push_back(next);
      early = std::move(next);
    }
  }
  if (early) early->SetState(GST_STATE_PAUSED);
  FinishUnlocked({});
  if (!cur || !cur->Pipeline()) return;
  // Done once no further frame comes, so that the position holds still.
  cur->SetState(GST_STATE_PAUSED);
  cur->WaitSettled();
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

int64_t PlaybackEngine::PositionOf(const GraphPtr& g) {
  if (!g) return 0;
  const int64_t ns = g->PositionNs();
  return g->StartOffset() + (ns > 0 ? NanosToCentis(ns) : 0);
}

int64_t PlaybackEngine::GetPositionCentis() {
  if (const std::optional<TransportCommand> seek = transport_->PendingSeek()) return seek->centis;
  return PositionOf(Current());
}

double PlaybackEngine::GetPosition() {
  if (const std::optional<TransportCommand> seek = transport_->PendingSeek())
    return seek->perMille >= 0 ? seek->perMille : PerMille(seek->centis, total_);
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
