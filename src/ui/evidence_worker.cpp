#include "ui/evidence_worker.h"

#include <QMetaObject>
#include <QPointer>

EvidenceWorker::~EvidenceWorker() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}

bool EvidenceWorker::Start(QObject* context, std::function<std::string()> job,
                           std::function<void(const std::string&)> done) {
  if (busy_) return false;
  if (thread_.joinable()) thread_.join();  // the last job has ended: only its thread is left
  busy_ = true;
  cancel_ = false;
  QPointer<QObject> target(context);
  thread_ = std::thread([this, target, job = std::move(job), done = std::move(done)] {
    const std::string message = job();
    busy_ = false;
    // Queued to the window; dropped by Qt when the window is gone.
    if (target)
      QMetaObject::invokeMethod(
          target, [done, message] { done(message); }, Qt::QueuedConnection);
  });
  return true;
}
