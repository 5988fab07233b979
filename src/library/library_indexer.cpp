#include "library/library_indexer.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "library/recording_reader.h"

namespace library {
namespace {

namespace fs = std::filesystem;

bool Unchanged(const FoundRecording& found, const std::vector<LibraryFile>& indexed) {
  if (indexed.size() != found.files.size()) return false;
  for (std::size_t i = 0; i < indexed.size(); ++i) {
    LibraryFile now;
    if (!StampFile(found.files[i], now)) return false;
    const LibraryFile& was = indexed[i];
    if (was.path != now.path || was.bytes != now.bytes || was.mtimeNanos != now.mtimeNanos) return false;
  }
  return true;
}

struct ReadResult {
  std::size_t index = 0;
  LibraryRecording recording;
  std::string error;
};

// The finished reads, handed from the workers to the writing thread; at
// most `limit` wait, so fast readers don't pile recordings up in memory.
class ResultQueue {
 public:
  explicit ResultQueue(std::size_t limit) : limit_(limit) {}
  void Push(ReadResult r) {
    std::unique_lock lock(mutex_);
    roomy_.wait(lock, [&] { return items_.size() < limit_; });
    items_.push_back(std::move(r));
    filled_.notify_one();
  }
  ReadResult Pop() {
    std::unique_lock lock(mutex_);
    filled_.wait(lock, [&] { return !items_.empty(); });
    ReadResult r = std::move(items_.front());
    items_.pop_front();
    roomy_.notify_one();
    return r;
  }

 private:
  std::mutex mutex_;
  std::condition_variable filled_, roomy_;
  std::deque<ReadResult> items_;
  std::size_t limit_;
};

}  // namespace

IndexOutcome IndexTree(LibraryStore& store, const IndexOptions& options,
                       const IndexProgressCallback& progress) {
  IndexOutcome outcome;
  TreeListing listing = FindRecordings(options.roots);
  outcome.problems = listing.odd;
  outcome.found = listing.recordings.size();
  const std::map<int64_t, std::vector<LibraryFile>> indexed = store.IndexedFiles();
  std::vector<FoundRecording> todo;
  std::set<int64_t> present;
  for (FoundRecording& r : listing.recordings) {
    const int64_t id = RecordingId(r.files.front());
    present.insert(id);
    if (options.shards > 1 && id % options.shards != options.shard) continue;
    ++outcome.inShard;
    const auto stored = indexed.find(id);
    if (stored != indexed.end() && Unchanged(r, stored->second)) {
      ++outcome.unchanged;
      continue;
    }
    todo.push_back(std::move(r));
  }

  // Recordings gone from the roots (their first file deleted or moved away).
  std::vector<std::string> roots;
  for (const std::string& root : options.roots) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(root).lexically_normal();
    if (fs::is_directory(absolute, ec)) roots.push_back((absolute / "").string());
  }
  for (const auto& [id, files] : indexed) {
    if (present.count(id) || files.empty() || (options.shards > 1 && id % options.shards != options.shard))
      continue;
    const std::string& first = files.front().path;
    std::error_code ec;
    const bool underRoot =
        std::any_of(roots.begin(), roots.end(), [&](const std::string& r) { return first.rfind(r, 0) == 0; });
    if (!underRoot || fs::exists(first, ec) || ec) continue;
    try {
      store.RemoveRecording(id);
      ++outcome.removed;
    } catch (const SqlError& e) {
      outcome.problems.push_back({first, std::string("not removed from the library: ") + e.what()});
    }
  }

  const std::size_t workers = std::clamp<std::size_t>(std::size_t(std::max(options.jobs, 1)), 1,
                                                      std::max<std::size_t>(todo.size(), 1));
  ResultQueue queue(workers * 2);
  std::atomic<std::size_t> next{0};
  std::vector<std::jthread> threads;
  for (std::size_t w = 0; w < workers && !todo.empty(); ++w) {
    threads.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < todo.size();) {
        ReadResult r;
        r.index = i;
        if (options.cancel && options.cancel->load())
          r.error = kScanCancelledError;
        else
          try {
            r.error = ReadLibraryRecording(todo[i], r.recording, options.cancel, options.harshTenths);
          } catch (const std::exception& e) {
            r.error = e.what();  // listed like any unreadable recording; the run goes on
          }
        queue.Push(std::move(r));
      }
    });
  }
  for (std::size_t done = 0; done < todo.size(); ++done) {
    ReadResult r = queue.Pop();
    const std::string& first = todo[r.index].files.front();
    if (options.cancel && options.cancel->load()) {
      outcome.cancelled = true;
      continue;  // drain the workers, writing nothing more
    }
    if (r.error.empty()) {
      try {
        store.PutRecording(r.recording);
        ++outcome.indexed;
      } catch (const std::exception& e) {
        // Caught whatever it is: the workers wait for this loop to take their results.
        outcome.problems.push_back({first, std::string("not written to the library: ") + e.what()});
      }
    } else {
      // A reason naming its own file ("PATH: reason") is kept as it is.
      const std::string& text = r.error;
      bool named = false;
      for (const std::string& f : todo[r.index].files) {
        if (text.rfind(f + ": ", 0) == 0) {
          outcome.problems.push_back({f, text.substr(f.size() + 2)});
          named = true;
          break;
        }
      }
      if (!named) outcome.problems.push_back({first, text});
    }
    if (progress) progress({done + 1, todo.size(), first});
  }
  return outcome;
}

}  // namespace library
