#include "ui/live_controller.h"

LiveController::~LiveController() = default;

void LiveController::Open(const LiveSessionConfig& config) {
  Close();
  session_ = std::make_unique<LiveSession>(config);
}

void LiveController::Close() {
  session_.reset();
}

void LiveController::Tick() {
  if (!session_) return;
  // Whoever hears of the failure may end the session meanwhile.
  if (session_->Poll()) emit ConnectFailed();
  if (!session_ || !session_->FailureReported()) return;
  Close();
  emit Lost();
}
