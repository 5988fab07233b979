// Transport: play, pause, stop, seek, step and positions; the engine's own
// threads.
#include "engine/pipeline/playback_engine.h"

#include <algorithm>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_rate.h"
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

void PlaybackEngine::SetRate(double rate) {
  rate = RateAtStep(StepOfRate(rate));
  if (rate_.exchange(rate) == rate) return;
  {
    std::lock_guard<std::mutex> l(lock_);
    ApplyRoutingLocked();
  }
  if (!HasSequence(false)) return;
  // From where the previous command leaves the position, at the new rate.
  transport_->Post({TransportCommand::Kind::kSeek, GetPositionCentis()});
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
    case TransportCommand::Kind::kFrame:
      StepExactNow(c.direction, c.channel);
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
    // At the very end of the recording nothing is left to play; before a
    // next file still being built, the preparer goes on when it is there.
    if ((cur->AtEnd() || cur->HasError()) && !slots_->next().graph) {
      if (!NextPendingLocked()) playing_ = false;
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

void PlaybackEngine::StepExactFrame(int direction, int channel) {
  if (!HasSequence(false) || channel < 0 || channel > 3) return;
  TransportCommand c{TransportCommand::Kind::kFrame};
  c.direction = direction < 0 ? -1 : 1;
  c.channel = channel;
  transport_->Post(c);
}

bool PlaybackEngine::ShownFrame(int channel, int64_t& frame, int64_t& count, int64_t& timeNs) {
  GraphPtr cur = Current();
  if (!cur) return false;
  const int64_t pts = cur->ShownPts(channel);
  frame = cur->FrameAtNs(channel, pts);
  count = cur->FrameCount(channel);
  if (frame < 0) return false;
  timeNs = cur->FrameTimeNs(channel, frame);
  return true;
}

void PlaybackEngine::StepExactNow(int direction, int c) {
  GraphPtr cur;
  int index;
  int64_t start = 0, previousStart = -1, nextStart = -1;
  {
    std::lock_guard<std::mutex> l(lock_);
    if (!slots_ || !slots_->current().graph) return;
    cur = slots_->current().graph;
    index = slots_->current().index;
    start = files_[size_t(index)].start;
    if (index > 0) previousStart = files_[size_t(index) - 1].start;
    if (index + 1 < int(files_.size())) nextStart = files_[size_t(index) + 1].start;
  }
  if (cur->WaitReady() != kGraphOk || cur->FrameCount(c) == 0) return;
  // The frame shown, else the one at the position.
  int64_t n = cur->FrameAtNs(c, cur->ShownPts(c));
  if (n < 0) n = cur->FrameAtNs(c, CentisToNanos(std::max<int64_t>(0, PositionOf(cur) - start)));
  n += direction;
  if (n >= cur->FrameCount(c)) {
    // The next file's first frame.
    if (nextStart >= 0) SeekTo(nextStart, true, CentisToNanos(nextStart));
    return;
  }
  if (n >= 0) {
    SeekTo(start + NanosToCentis(cur->FrameTimeNs(c, n)), true,
           CentisToNanos(start) + cur->FrameTimeNs(c, n));
    return;
  }
  if (previousStart < 0) return;
  // The previous file's last frame: its graph tells how many it has once
  // the seek has made it current.
  SeekTo(start - 1, false);
  GraphPtr prev = Current();
  if (!prev || prev == cur || prev->WaitReady() != kGraphOk || prev->FrameCount(c) == 0) return;
  const int64_t last = prev->FrameTimeNs(c, prev->FrameCount(c) - 1);
  SeekTo(previousStart + NanosToCentis(last), true, CentisToNanos(previousStart) + last);
}

void PlaybackEngine::SeekTo(int64_t t, bool show, int64_t exactNs) {
  // The target's graph is built first, without the lock, unless it is
  // there; the slots then move over graphs that exist.
  std::vector<GraphPtr> unused;
  for (int tries = 0; tries < 2; ++tries) {
    std::string path;
    int sequence, index;
    {
      std::lock_guard<std::mutex> l(lock_);
      if (!slots_ || files_.empty()) return;
      index = FileAtLocked(t);
      if (slots_->Holds(index) || built_.count(index)) break;
      path = files_[size_t(index)].path;
      sequence = sequence_;
    }
    int ignored;
    GraphPtr g = MakeGraph(path, false, ignored);
    std::lock_guard<std::mutex> l(lock_);
    if (sequence == sequence_ && slots_ && !slots_->Holds(index) && !built_.count(index))
      built_[index] = std::move(g);
    else
      unused.push_back(std::move(g));
  }
  GraphPtr cur;
  int64_t offset = 0, offsetNs = 0;
  {
    std::lock_guard<std::mutex> l(lock_);
    if (!slots_ || files_.empty()) return;
    const int g = FileAtLocked(t);
    if (g != slots_->current().index) {
      if (GraphPtr old = slots_->current().graph) {
        old->SetConsumer(nullptr);
        old->SetListener(nullptr);
        toSettle_.push_back(old);
      }
      slots_->SwitchTo(g);
      // What was built for this move and not taken waits with the others.
      for (auto& [index, built] : built_) {
        if (!slots_->Offer(index, built)) unused.push_back(std::move(built));
      }
      built_.clear();
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
    if (cur && cur->Pipeline()) {
      // A target past the file's last frame shows that last frame: the
      // frame that lies at the end of the recording.
      offset = OffsetInFile(t, cur->StartOffset());
      const int64_t length = files_[size_t(g)].end - files_[size_t(g)].start;
      if (length > 0 && offset >= length) offset = length - 1;
      offsetNs = CentisToNanos(offset);
      if (exactNs >= 0) offsetNs = std::max<int64_t>(0, exactNs - CentisToNanos(cur->StartOffset()));
      if (!show) cur->SetConsumer(nullptr);
    } else {
      cur = nullptr;
    }
  }
  FinishUnlocked(std::move(unused));
  if (!cur) return;
  if (cur->WaitReady() == kGraphOk) {
    cur->SeekTo(offsetNs, rate_);
    cur->SetState(playing_ ? GST_STATE_PLAYING : GST_STATE_PAUSED);
    cur->WaitSettled();
  }
  {
    // The next file starts at the rate this one plays at.
    std::lock_guard<std::mutex> l(lock_);
    const GraphPtr next = slots_ ? slots_->next().graph : nullptr;
    if (next && next != cur && next->Pipeline() && !next->StartedAhead() && next->Rate() != rate_)
      toRewind_.push_back(next);
  }
  FinishUnlocked({});
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
  std::vector<GraphPtr> dead = std::move(graphs), rewind, settle;
  {
    std::lock_guard<std::mutex> l(lock_);
    if (slots_) {
      for (GraphPtr& g : slots_->TakeEvicted()) dead.push_back(std::move(g));
    }
    rewind.swap(toRewind_);
    settle.swap(toSettle_);
  }
  for (const GraphPtr& g : settle) {
    if (g) SettleState(g);
  }
  for (const GraphPtr& g : rewind) {
    if (g) g->SeekTo(0, rate_);
  }
  dead.clear();  // pipelines stop here, with no lock held
}

GstState PlaybackEngine::WantedStateLocked(const GraphPtr& g) {
  if (!slots_ || !playing_) return GST_STATE_PAUSED;
  if (g == slots_->current().graph) return GST_STATE_PLAYING;
  // A next file started to follow the current one seamlessly keeps running.
  if (g == slots_->next().graph && g->StartedAhead()) return GST_STATE_PLAYING;
  return GST_STATE_PAUSED;
}

void PlaybackEngine::SettleState(const GraphPtr& g) {
  // Decided under the lock, applied without it. Another thread may decide
  // otherwise in between: whoever applies looks again afterwards and
  // applies anew, so the last change made is the state wanted last.
  GstState applied = GST_STATE_VOID_PENDING;
  for (int round = 0; round < 4; ++round) {
    GstState wanted;
    {
      std::lock_guard<std::mutex> l(lock_);
      wanted = WantedStateLocked(g);
    }
    if (wanted == applied) return;
    g->SetState(wanted);
    applied = wanted;
  }
}

bool PlaybackEngine::NextPendingLocked() {
  return slots_ && !slots_->next().graph && slots_->current().index >= 0 &&
         slots_->current().index + 1 < slots_->FileCount();
}

int PlaybackEngine::FileAtLocked(int64_t t) const {
  std::vector<int64_t> starts, lengths;
  for (const SequenceFile& f : files_) {
    starts.push_back(f.start);
    lengths.push_back(f.end - f.start);
  }
  return FileAt(starts, lengths, t);
}

PlaybackEngine::GraphPtr PlaybackEngine::SlotGraphLocked(GraphSlot slot) {
  if (!slots_) return nullptr;
  switch (slot) {
    case GraphSlot::kPrevious:
      return slots_->previous().graph;
    case GraphSlot::kCurrent:
      return slots_->current().graph;
    case GraphSlot::kNext:
      break;
  }
  return slots_->next().graph;
}
