// Sequences: opening a run of files, moving the graph slots along the
// timeline, and going on to the next file when one ends.
#include <algorithm>

#include "avi/avi_length.h"
#include "engine/pipeline/graph_control.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "engine/pipeline/timeline.h"
#include "metadata/trigger_names.h"

namespace {
constexpr int kPreviousSlot = 0;
constexpr int kCurrentSlot = 1;
constexpr int kStackedKind = 2;
}  // namespace

std::unique_ptr<RecordingGraph> PlaybackEngine::MakeGraph(int index, int& result) {
  auto g = std::make_unique<RecordingGraph>();
  g->onEndOfStream = [this] {
    {
      std::lock_guard<std::mutex> l(wakeLock_);
      ended_ = true;
    }
    wake_.notify_all();
  };
  result = BuildRecordingGraph(*g, files_[index].path, props_, listener_);
  if (result != kGraphOk) {
    // A file that fails to build later in the sequence plays as an empty
    // graph that has already ended, so playback moves past it.
    g = std::make_unique<RecordingGraph>();
    g->path = files_[index].path;
    g->ended_ = true;
  }
  return g;
}

void PlaybackEngine::PlaceGraph(RecordingGraph& g, int index, int slot) {
  g.startOffset = files_[index].start;
  ApplyOverlaySwitches(g);
  if (!g.pipeline) return;
  if (slot == kCurrentSlot) {
    g.SetConsumer(consumer_);
    return;
  }
  g.SetConsumer(nullptr);
  if (slot == kPreviousSlot) {
    SetGraphState(g.pipeline.get(), GST_STATE_PAUSED);
  } else {
    // The next file waits paused on its first frame, so that switching to it
    // is only a matter of running it.
    g.ended_ = false;
    SeekGraph(g.pipeline.get(), 0, g.demuxer);
  }
}

int PlaybackEngine::OpenSequence(const std::vector<std::string>& paths) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  CloseSequence();
  playing_ = false;
  ResetTriggerNamesToDefaults();
  if (paths.empty()) return kGraphFileUnusable;
  files_.assign(paths.size(), SequenceFile{});
  for (size_t i = 0; i < paths.size(); ++i) files_[i].path = paths[i];
  slots_ = std::make_unique<Slots>(
      int(paths.size()),
      [this](int i) {
        int ignored;
        return MakeGraph(i, ignored);
      },
      [this](RecordingGraph& g, int i, int slot) { PlaceGraph(g, i, slot); });

  int64_t total = 0;
  for (size_t i = 0; i < paths.size(); ++i) {
    SequenceFile& f = files_[i];
    f.start = total;
    if (int(i) < Slots::kBuiltAtOpen) {
      int result;
      std::unique_ptr<RecordingGraph> g = MakeGraph(int(i), result);
      if (result != kGraphOk) return result;
      routes_ = g->dvrKind == kStackedKind ? StackedLayoutRoutes() : DefaultRoutes();
      f.videoStreams = g->videoStreamCount;
      f.width = g->width;
      f.height = g->height;
      f.end = f.start + g->duration;
      g->startOffset = f.start;
      total += g->duration;
      total_ = total;
      slots_->Adopt(int(i), std::move(g));
    } else {
      const avi::AviLength len = avi::ReadAviLength(f.path);
      f.videoStreams = len.videoStreams;
      f.width = files_[0].width;
      f.height = files_[0].height;
      f.end = f.start + len.lengthCentis;
      total += len.lengthCentis;
    }
  }
  total_ = total;
  SetTriggerNames(props_.triggerNames);
  RecordingGraph* cur = slots_->current().graph.get();
  if (!cur || !cur->pipeline) return kGraphFileUnusable;
  ApplyRouting();
  if (slots_->next().graph) PlaceGraph(*slots_->next().graph, slots_->next().index, 2);
  playing_ = true;
  SetGraphState(cur->pipeline.get(), GST_STATE_PLAYING);
  return kGraphOk;
}

void PlaybackEngine::CloseSequence() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  playing_ = false;
  if (slots_) {
    // Previous, current and next first, then the idle ones.
    slots_->previous() = {};
    slots_->current() = {};
    slots_->next() = {};
    slots_->Clear();
    slots_.reset();
  }
  files_.clear();
  total_ = 0;
}

void PlaybackEngine::SwitchFile(int index) {
  if (RecordingGraph* cur = slots_->current().graph.get(); cur && cur->pipeline) {
    cur->SetConsumer(nullptr);
    SetGraphState(cur->pipeline.get(), GST_STATE_PAUSED);
  }
  slots_->SwitchTo(index);
  ApplyRouting();
}

void PlaybackEngine::AdvanceIfEnded() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (!slots_ || !playing_) return;
  // Each pass moves one file on; a file that failed to build has ended at
  // once and is passed over in the next pass.
  while (slots_->current().graph && slots_->current().graph->AtEnd()) {
    if (!slots_->Advance()) {
      playing_ = false;  // the recording really ended
      return;
    }
    RecordingGraph& cur = *slots_->current().graph;
    if (cur.pipeline) SetGraphState(cur.pipeline.get(), GST_STATE_PLAYING);
    ApplyRouting();
  }
}

void PlaybackEngine::AdvanceLoop() {
  std::unique_lock<std::mutex> l(wakeLock_);
  for (;;) {
    wake_.wait(l, [this] { return quit_ || ended_; });
    if (quit_) return;
    ended_ = false;
    l.unlock();
    AdvanceIfEnded();
    l.lock();
  }
}

std::vector<SequenceFile> PlaybackEngine::Files() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  return files_;
}

int PlaybackEngine::CurrentFileIndex() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  return slots_ ? slots_->current().index : -1;
}
