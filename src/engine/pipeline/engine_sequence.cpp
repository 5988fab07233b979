// Sequences: opening a run of files, moving the graph slots along the
// timeline, going on to the next file when one ends or fails, and preparing
// the following files' graphs off the caller's thread.
#include <algorithm>
#include <filesystem>
#include <map>

#include "avi/avi_length.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "engine/pipeline/timeline.h"
#include "metadata/trigger_names.h"

PlaybackEngine::GraphPtr PlaybackEngine::MakeGraph(const std::string& path, bool shown, int& result) {
  auto g = std::make_shared<RecordingGraph>();
  const RecordingGraph* id = g.get();
  g->SetEventHandler([this, id](RecordingGraph::Event e) { PostBusNews({id, e}); });
  result = g->Start(path, config_, shown ? listener_ : nullptr, shown);
  // A file that fails to build plays as a graph that has already failed, so
  // playback moves past it.
  if (result != kGraphOk) return g;
  // Volumes and switches are in place before the first sample passes.
  {
    std::lock_guard<std::mutex> l(lock_);
    ApplyRoutingTo(*g);
    ApplyOverlaySwitches(*g);
  }
  g->Preroll();
  return g;
}

void PlaybackEngine::PlaceGraph(RecordingGraph& g, int index, GraphSlot slot) {
  g.SetStartOffset(files_[size_t(index)].start);
  ApplyOverlaySwitches(g);
  if (!g.Pipeline()) return;
  // Its state follows once the lock is let go (FinishUnlocked); running the
  // next file comes before anything else is built, so the boundary costs no
  // more than starting a prerolled pipeline.
  toSettle_.push_back(SlotGraphLocked(slot));
  if (slot == GraphSlot::kCurrent) {
    g.SetConsumer(consumer_);
    g.SetListener(listener_);
    SetTriggerNames(g.Properties().triggerNames);
    return;
  }
  g.SetConsumer(nullptr);
  g.SetListener(nullptr);
  if (slot != GraphSlot::kPrevious && (g.Moved() || g.Rate() != rate_)) {
    // The next file waits paused on its first frame, so that switching to it
    // is only a matter of running it; a graph fresh from its build is there
    // already. The seek is sent once the lock is let go.
    toRewind_.push_back(slots_->next().graph);
  }
}

int PlaybackEngine::OpenSequence(const std::vector<std::string>& paths) {
  CloseSequence();
  playing_ = false;
  h264Mode_ = VideoCoding::kMotionJpeg;
  warnings_ = 0;
  ResetTriggerNamesToDefaults();
  {
    std::lock_guard<std::mutex> l(lock_);
    openCause_.clear();
  }
  if (paths.empty()) return kGraphFileUnusable;

  std::vector<SequenceFile> files(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) files[i].path = paths[i];
  int sequence;
  {
    std::lock_guard<std::mutex> l(lock_);
    files_ = files;
    sequence = ++sequence_;
  }
  int result;
  GraphPtr first = MakeGraph(paths[0], true, result);
  h264Mode_ = first->Properties().h264Mode;
  if (result == kGraphOk) result = first->WaitReady();
  if (result != kGraphOk) {
    const std::string cause = first->FailureCause();
    std::lock_guard<std::mutex> l(lock_);
    files_.clear();
    openCause_ = cause;
    return result;
  }

  // The lengths come from the headers, once: navigation never changes the
  // timeline. The first file's own pipeline knows its length exactly.
  int64_t total = 0;
  uint64_t bytes = 0;
  const ChannelResults firstChannels = first->Channels();
  for (size_t i = 0; i < files.size(); ++i) {
    SequenceFile& f = files[i];
    f.start = total;
    const avi::AviLength len = avi::ReadAviLength(f.path);
    f.videoStreams = len.videoStreams;
    f.channels = firstChannels;
    int64_t length = len.lengthCentis;
    if (i == 0) {
      f.videoStreams = first->VideoStreamCount();
      if (first->Duration() > 0) length = first->Duration();
    }
    f.end = f.start + length;
    total += length;
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(f.path, ec);
    if (!ec) bytes += size;
  }

  {
    std::lock_guard<std::mutex> l(lock_);
    files_ = files;
    sequenceBytes_ = bytes;
    total_ = total;
    routes_ = first->DvrKind() == DvrLayout::kTwoChannelStacked ? StackedLayoutRoutes() : DefaultRoutes();
    slots_ = std::make_unique<Slots>(
        int(paths.size()),
        [this](int i) {
          // Nothing is built under the lock: a graph built beforehand for
          // this move, else the preparer builds it and offers it.
          if (auto it = built_.find(i); it != built_.end()) {
            GraphPtr g = std::move(it->second);
            built_.erase(it);
            return g;
          }
          std::lock_guard<std::mutex> pl(prepareLock_);
          jobs_.push_back({sequence_, i, files_[size_t(i)].path});
          prepareWake_.notify_all();
          return GraphPtr();
        },
        [this](RecordingGraph& g, int i, GraphSlot slot) { PlaceGraph(g, i, slot); });
    playing_ = true;
    slots_->Adopt(0, first);
    ApplyRoutingLocked();
  }
  FinishUnlocked({});
  {
    std::lock_guard<std::mutex> l(prepareLock_);
    for (int i = 1; i < int(paths.size()) && i < Slots::kBuiltAtOpen; ++i)
      jobs_.push_back({sequence, i, paths[size_t(i)]});
  }
  prepareWake_.notify_all();
  return kGraphOk;
}

void PlaybackEngine::CloseSequence() {
  // Commands asked for the closed recording are dropped; the one in
  // progress holds its own reference to its graph.
  if (transport_) transport_->Drop();
  std::unique_ptr<Slots> old;
  std::map<int, GraphPtr> built;
  std::vector<GraphPtr> settle, rewind;
  {
    std::lock_guard<std::mutex> l(lock_);
    playing_ = false;
    ++sequence_;
    old = std::move(slots_);
    built.swap(built_);
    settle.swap(toSettle_);
    rewind.swap(toRewind_);
    files_.clear();
    total_ = 0;
    sequenceBytes_ = 0;
  }
  {
    std::lock_guard<std::mutex> l(prepareLock_);
    jobs_.clear();
  }
  if (old) {
    // Previous, current and next first, then the idle ones; no lock held.
    old->previous() = {};
    old->current() = {};
    old->next() = {};
    old->Clear();
  }
}

void PlaybackEngine::AdvanceLocked() {
  // Each pass moves one file on; a file that failed has ended at once and is
  // passed over in the next pass.
  bool moved = false, passingOver = false;
  while (slots_ && slots_->current().graph &&
         (slots_->current().graph->AtEnd() || slots_->current().graph->HasError())) {
    // The next file's graph is still being built: the preparer moves on
    // once it offers it. A failed file moved onto meanwhile is only passed
    // over, never shown, however long its successor takes to build.
    if (NextPendingLocked()) {
      passingOver = moved;
      break;
    }
    if (!slots_->next().graph) {
      playing_ = false;  // the recording really ended
      if (events_) Post([this] { events_->OnEndOfRecording(); });
      break;
    }
    if (RecordingGraph* old = slots_->current().graph.get()) {
      old->SetConsumer(nullptr);
      old->SetListener(nullptr);
    }
    slots_->Advance();
    moved = true;
    RecordingGraph& cur = *slots_->current().graph;
    if (cur.HasError() && events_) {
      const int index = slots_->current().index;
      const std::string message = cur.ErrorText();
      Post([this, index, message] { events_->OnPlaybackError(index, message); });
    }
  }
  if (!moved) return;
  ApplyRoutingLocked();
  ArrangeLocked(arrangedQuad_, -1, nullptr);
  if (events_ && !passingOver) {
    const int index = slots_->current().index;
    Post([this, index] { events_->OnFileChanged(index); });
  }
}

void PlaybackEngine::HandleBusNews(const BusNews& news) {
  if (news.event == RecordingGraph::Event::kWarning) {
    ++warnings_;
    return;
  }
  if (news.event == RecordingGraph::Event::kVideoEnding) {
    // The current file has shown its last picture: the next file, waiting
    // prerolled on its first, runs now and shows that picture the moment
    // the last one's span ends, instead of after the end is reported and
    // handled. The file change itself follows the end as before.
    GraphPtr next;
    GstClockTime at;
    {
      std::lock_guard<std::mutex> l(lock_);
      if (!slots_ || !playing_ || slots_->current().graph.get() != news.graph) return;
      next = slots_->next().graph;
      at = slots_->current().graph->ShownEndClockTime();
      if (!next || !next->Ready() || next->Moved() || next->HasError() || at == GST_CLOCK_TIME_NONE) return;
      // Its texts are parsed as soon as it runs, ahead of its pictures.
      next->SetConsumer(consumer_);
      next->SetListener(listener_);
    }
    next->StartAt(at);
    {
      // A pause that came meanwhile may not have seen it started: it waits
      // on its first frame again, as a pause leaves it.
      std::lock_guard<std::mutex> l(lock_);
      if (playing_ || !slots_ || slots_->next().graph != next) return;
      next->SetConsumer(nullptr);
      next->SetListener(nullptr);
      toRewind_.push_back(next);
      toSettle_.push_back(next);
    }
    FinishUnlocked({});
    return;
  }
  {
    std::lock_guard<std::mutex> l(lock_);
    if (!slots_ || slots_->current().graph.get() != news.graph) return;
    RecordingGraph& cur = *slots_->current().graph;
    if (news.event == RecordingGraph::Event::kError && events_) {
      const int index = slots_->current().index;
      const std::string message = cur.ErrorText();
      Post([this, index, message] { events_->OnPlaybackError(index, message); });
    }
    if (playing_ || news.event == RecordingGraph::Event::kError) AdvanceLocked();
  }
  FinishUnlocked({});
}

void PlaybackEngine::PrepareLoop() {
  std::unique_lock<std::mutex> l(prepareLock_);
  for (;;) {
    prepareWake_.wait(l, [this] { return prepareQuit_ || !jobs_.empty(); });
    if (prepareQuit_) return;
    PrepareJob job = std::move(jobs_.front());
    jobs_.pop_front();
    l.unlock();
    bool wanted;
    {
      std::lock_guard<std::mutex> el(lock_);
      wanted = job.sequence == sequence_ && slots_ && !slots_->Holds(job.index) && !built_.count(job.index);
    }
    if (wanted) {
      int result;
      GraphPtr g = MakeGraph(job.path, false, result);
      if (result == kGraphOk) g->WaitReady();
      {
        std::lock_guard<std::mutex> el(lock_);
        if (job.sequence == sequence_ && slots_ && slots_->Offer(job.index, g)) {
          g = nullptr;
          // A file that ended while its successor was still being built
          // goes on now.
          const GraphPtr& cur = slots_->current().graph;
          if (playing_ && cur && (cur->AtEnd() || cur->HasError())) AdvanceLocked();
        }
      }
      std::vector<GraphPtr> unused;
      if (g) unused.push_back(std::move(g));
      FinishUnlocked(std::move(unused));
    }
    l.lock();
  }
}

std::string PlaybackEngine::OpenFailureCause() {
  std::lock_guard<std::mutex> l(lock_);
  return openCause_;
}

std::vector<SequenceFile> PlaybackEngine::Files() {
  std::lock_guard<std::mutex> l(lock_);
  return files_;
}

int PlaybackEngine::CurrentFileIndex() {
  std::lock_guard<std::mutex> l(lock_);
  return slots_ ? slots_->current().index : -1;
}
