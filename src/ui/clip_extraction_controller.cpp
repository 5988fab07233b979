#include "ui/clip_extraction_controller.h"

#include "engine/pipeline/playback_engine.h"
#include "metadata/trigger_names.h"
#include "ui/clip_extract_dialog.h"

namespace {

// The playing position in hundredths of a second.
int64_t PositionCentis(PlaybackEngine& engine) {
  return int64_t(engine.GetPosition() * double(engine.GetTotal()) / 1000);
}

}  // namespace

void ClipExtractionController::DialogDeleter::operator()(CVideoClipExtractDlg* dialog) const {
  delete dialog;
}

ClipExtractionController::ClipExtractionController(EngineOf engine, SeparateCamerasOf separateCameras)
    : engine_(std::move(engine)), separateCameras_(std::move(separateCameras)) {}

ClipExtractionController::~ClipExtractionController() = default;

bool ClipExtractionController::Running() const {
  return dialog_ && dialog_->IsRunning();
}

void ClipExtractionController::Toggle() {
  if (dialog_ && !dialog_->isVisible()) {
    dialog_.reset();
    emit ShownChanged(false);
  }
  if (dialog_) {
    dialog_.reset();
    emit ShownChanged(false);
    return;
  }
  PlaybackEngine* engine = engine_();
  if (!engine) {
    emit ShownChanged(false);
    return;
  }
  std::vector<clip::ClipSourceFile> files;
  for (const SequenceFile& f : engine->Files()) files.push_back({f.path, f.videoStreams, f.start, f.end});
  const std::shared_ptr<const TriggerNameList> names = TriggerNames();
  // The properties are the engine's copy; reading them takes its lock briefly.
  dialog_.reset(new CVideoClipExtractDlg(std::move(files), PositionCentis(*engine), separateCameras_(),
                                         std::vector<std::string>(names->begin(), names->end()),
                                         engine->Properties().dvrTitle));
  dialog_->show();
  emit ShownChanged(true);
}

void ClipExtractionController::Tick() {
  if (!dialog_) return;
  if (!dialog_->IsOpen()) {
    dialog_.reset();
    emit ShownChanged(false);
    return;
  }
  if (PlaybackEngine* engine = engine_()) dialog_->SetCurrentPosition(PositionCentis(*engine));
}
