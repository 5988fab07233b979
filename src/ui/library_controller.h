#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "library/library_indexer.h"
#include "library/library_store.h"

// The window's side of the fleet library: searches and folder indexing run
// on a worker thread of their own, one at a time, and report by queued
// signals, so the window thread never waits on the database or the files.
// Cancel stops an indexing run after the recording being read (what was
// written stays: the next run goes on from there). Destroying the
// controller cancels and joins the worker.
class LibraryController : public QObject {
  Q_OBJECT
 public:
  // `location`: an SQLite file or a postgresql:// URL ("" for the default library).
  explicit LibraryController(std::string location, QObject* parent = nullptr);
  ~LibraryController() override;

  const std::string& Location() const { return location_; }
  bool Busy() const { return busy_; }
  // False while a search or an indexing run is going on.
  bool Search(const library::SearchQuery& query);
  bool IndexFolder(const std::string& folder);
  void Cancel() { cancel_ = true; }

 signals:
  void SearchFinished(const std::vector<library::SearchHit>& hits, const QString& error);
  void IndexProgress(int done, int total);
  void IndexFinished(const QString& summary);

 private:
  bool Start(std::function<void()> work);

  const std::string location_;
  std::atomic<bool> cancel_{false};
  bool busy_ = false;  // window thread only
  std::jthread worker_;
};
