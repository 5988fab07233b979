#pragma once

// Brings the library up to date with folders: finds the recordings, skips
// those whose files are unchanged (same paths, sizes and modification
// times), reads the others on worker threads and writes them whole on the
// calling thread, those read close together in one transaction. A recording
// that can't be read is listed and the run goes on; a run stopped anywhere
// leaves only whole recordings, so the next run goes on where it stopped. A
// recording under one of the roots whose first file no longer exists is
// taken out of the library. Only reads the recordings.

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/trip_events.h"
#include "library/library_store.h"
#include "library/recording_discovery.h"

namespace library {

struct IndexOptions {
  std::vector<std::string> roots;
  int jobs = 1;  // worker threads reading recordings
  // This worker's part of the tree: the recordings whose RecordingId % shards == shard.
  int shard = 0, shards = 1;
  int harshTenths = kDefaultHarshTenths;
  const std::atomic<bool>* cancel = nullptr;
};

struct IndexProgress {
  std::size_t done = 0, total = 0;  // recordings to read in this run
  std::string path;                 // the one just finished
};

struct IndexOutcome {
  std::size_t found = 0;          // recordings under the roots
  std::size_t inShard = 0;        // of them, this worker's
  std::size_t unchanged = 0;      // already indexed as they are
  std::size_t indexed = 0;        // written in this run
  std::size_t removed = 0;        // taken out: under a root, of this shard, its first file gone
  std::vector<OddFile> problems;  // files or recordings that could not be indexed, with the reason
  bool cancelled = false;
};

// Called on the calling thread for each recording once it is in the library
// (or found unreadable).
using IndexProgressCallback = std::function<void(const IndexProgress&)>;

IndexOutcome IndexTree(LibraryStore& store, const IndexOptions& options,
                       const IndexProgressCallback& progress = {});

}  // namespace library
