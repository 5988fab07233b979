#include "ui/library_controller.h"

#include <QMetaObject>

#include "library/sql_connection.h"

LibraryController::LibraryController(std::string location, QObject* parent)
    : QObject(parent), location_(location.empty() ? library::DefaultLibraryPath() : std::move(location)) {
  qRegisterMetaType<std::vector<library::SearchHit>>();
}

LibraryController::~LibraryController() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

bool LibraryController::Start(std::function<void()> work) {
  if (busy_) return false;
  if (worker_.joinable()) worker_.join();  // finished: its last signal has been posted
  busy_ = true;
  cancel_ = false;
  worker_ = std::jthread(std::move(work));
  return true;
}

bool LibraryController::Search(const library::SearchQuery& query) {
  return Start([this, query] {
    std::vector<library::SearchHit> hits;
    QString error;
    try {
      library::LibraryStore store(library::OpenSqlConnection(location_));
      hits = store.Search(query);
    } catch (const library::SqlError& e) {
      error = QString::fromStdString(location_ + ": " + e.what());
    }
    QMetaObject::invokeMethod(
        this,
        [this, hits = std::move(hits), error] {
          busy_ = false;
          emit SearchFinished(hits, error);
        },
        Qt::QueuedConnection);
  });
}

bool LibraryController::IndexFolder(const std::string& folder) {
  return Start([this, folder] {
    QString summary;
    try {
      library::LibraryStore store(library::OpenSqlConnection(location_));
      library::IndexOptions options;
      options.roots = {folder};
      options.jobs = int(std::max(1u, std::thread::hardware_concurrency()));
      options.cancel = &cancel_;
      const library::IndexOutcome outcome =
          library::IndexTree(store, options, [this](const library::IndexProgress& p) {
            QMetaObject::invokeMethod(
                this, [this, done = int(p.done), total = int(p.total)] { emit IndexProgress(done, total); },
                Qt::QueuedConnection);
          });
      summary = QStringLiteral("%1 recordings found, %2 indexed, %3 unchanged, %4 not indexed, %5 gone%6")
                    .arg(outcome.found)
                    .arg(outcome.indexed)
                    .arg(outcome.unchanged)
                    .arg(outcome.problems.size())
                    .arg(outcome.removed)
                    .arg(outcome.cancelled ? QStringLiteral(" (cancelled)") : QString());
      for (const library::OddFile& f : outcome.problems)
        summary +=
            QStringLiteral("\n%1: %2").arg(QString::fromStdString(f.path), QString::fromStdString(f.reason));
    } catch (const library::SqlError& e) {
      summary = QString::fromStdString(location_ + ": " + e.what());
    }
    QMetaObject::invokeMethod(
        this,
        [this, summary] {
          busy_ = false;
          emit IndexFinished(summary);
        },
        Qt::QueuedConnection);
  });
}
