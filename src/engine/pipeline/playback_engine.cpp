// Transport: play, pause, stop, seek, step and positions.
#include "engine/pipeline/playback_engine.h"

#include <algorithm>

#include "engine/pipeline/graph_control.h"
#include "engine/pipeline/timeline.h"

PlaybackEngine::PlaybackEngine(FrameConsumer* consumer, CMetadataInterface* listener, EngineEvents* events)
    : consumer_(consumer), listener_(listener), events_(events) {
  gsth::EnsureGstInitialized();
  advancer_ = std::thread([this] { AdvanceLoop(); });
}

PlaybackEngine::~PlaybackEngine() {
  {
    std::lock_guard<std::mutex> l(wakeLock_);
    quit_ = true;
  }
  wake_.notify_all();
  advancer_.join();
  CloseSequence();
}

void PlaybackEngine::Play() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (!slots_ || !slots_->current().graph || !slots_->current().graph->pipeline) return;
  playing_ = true;
  RecordingGraph& g = *slots_->current().graph;
  if (g.AtEnd()) {
    // Play at the very end of the recording: nothing is left to play.
    if (!slots_->next().graph) {
      playing_ = false;
      return;
    }
    AdvanceIfEnded();
    return;
  }
  SetGraphState(g.pipeline.get(), GST_STATE_PLAYING);
}

void PlaybackEngine::Pause() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  playing_ = false;
  if (slots_ && slots_->current().graph && slots_->current().graph->pipeline)
    SetGraphState(slots_->current().graph->pipeline.get(), GST_STATE_PAUSED);
}

void PlaybackEngine::Stop() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  Pause();
  Seek(0, -1);
}

void PlaybackEngine::Seek(double perMille, int64_t centis) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (!slots_ || files_.empty()) return;
  const int64_t t = SeekTarget(perMille, centis, total_);
  std::vector<int64_t> starts, lengths;
  for (const SequenceFile& f : files_) {
    starts.push_back(f.start);
    lengths.push_back(f.end - f.start);
  }
  const int g = FileAt(starts, lengths, t);
  if (g != slots_->current().index) SwitchFile(g);
  RecordingGraph* cur = slots_->current().graph.get();
  if (!cur || !cur->pipeline) return;
  // A target past the file's last frame shows that last frame: the frame
  // that lies at the end of the recording.
  int64_t offset = OffsetInFile(t, cur->startOffset);
  const int64_t length = files_[g].end - files_[g].start;
  if (length > 0 && offset >= length) offset = length - 1;
  cur->ended_ = false;
  SeekGraph(cur->pipeline.get(), CentisToNanos(offset), cur->demuxer);
  SetGraphState(cur->pipeline.get(), playing_ ? GST_STATE_PLAYING : GST_STATE_PAUSED);
}

void PlaybackEngine::StepFrame(int direction, bool show) {
  std::lock_guard<std::recursive_mutex> l(lock_);
  Seek(-1, StepTarget(GetPositionCentis(), direction));
  (void)show;  // the seek itself shows the frame at the new position
  lastStepPosition_ = std::max(0.0, GetPosition());
}

int64_t PlaybackEngine::GetPositionCentis() {
  std::lock_guard<std::recursive_mutex> l(lock_);
  if (!slots_ || !slots_->current().graph) return 0;
  RecordingGraph& g = *slots_->current().graph;
  if (!g.pipeline) return g.startOffset;
  const int64_t ns = PositionNs(g.pipeline.get());
  return g.startOffset + (ns > 0 ? NanosToCentis(ns) : 0);
}

double PlaybackEngine::GetPosition() {
  double result;
  {
    std::lock_guard<std::recursive_mutex> l(lock_);
    if (!slots_ || !slots_->current().graph) return 0.0;
    result = PerMille(GetPositionCentis(), total_);
  }
  AdvanceIfEnded();
  return result;
}
