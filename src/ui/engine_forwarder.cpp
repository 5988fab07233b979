#include "ui/engine_forwarder.h"

#include <QObject>
#include <utility>

EngineForwarder::EngineForwarder(QObject& window, EngineEvents& news, MetadataSink metadata)
    : window_(window), news_(news), metadata_(std::move(metadata)) {}

void EngineForwarder::OnMetadata(const char* sourceName, const char* label, const char* text) {
  if (!state_->retired && metadata_) metadata_(sourceName, label, text);
}

void EngineForwarder::OnPlaybackError(int fileIndex, const std::string& message) {
  Post([fileIndex, message](EngineEvents& news) { news.OnPlaybackError(fileIndex, message); });
}

void EngineForwarder::OnFileChanged(int fileIndex) {
  Post([fileIndex](EngineEvents& news) { news.OnFileChanged(fileIndex); });
}

void EngineForwarder::OnEndOfRecording() {
  Post([](EngineEvents& news) { news.OnEndOfRecording(); });
}

void EngineForwarder::OnTransportSettled() {
  Post([](EngineEvents& news) { news.OnTransportSettled(); });
}

void EngineForwarder::Post(std::function<void(EngineEvents&)> call) {
  if (state_->retired) return;
  QMetaObject::invokeMethod(
      &window_,
      [state = state_, news = &news_, call = std::move(call)] {
        if (!state->retired) call(*news);
      },
      Qt::QueuedConnection);
}
