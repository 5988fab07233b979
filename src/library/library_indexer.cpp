#include "library/library_indexer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
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

using Clock = std::chrono::steady_clock;

// Recordings read are written together, whole, in one transaction: a commit
// rewrites index pages that all of them share. A batch waits for more at
// most this long, so the library (and the progress) keep up with the reads.
constexpr std::size_t kBatchRecordings = 16;
constexpr auto kBatchWait = std::chrono::seconds(1);

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
  // The next result, waiting for one until `deadline`; nullopt when none came.
  std::optional<ReadResult> Pop(Clock::time_point deadline = Clock::time_point::max()) {
    std::unique_lock lock(mutex_);
    if (!filled_.wait_until(lock, deadline, [&] { return !items_.empty(); })) return std::nullopt;
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
  std::size_t done = 0;
  std::vector<ReadResult> batch;
  // Writes the batch, each recording whole; when the one transaction fails,
  // each is written alone, so only the one at fault is listed.
  auto write = [&] {
    if (batch.empty()) return;
    std::vector<const LibraryRecording*> recordings;
    for (const ReadResult& r : batch) recordings.push_back(&r.recording);
    bool written = false;
    try {
      store.PutRecordings(recordings);
      written = true;
    } catch (const std::exception&) {
      // Caught whatever it is: the workers wait for this loop to take their results.
    }
    for (const ReadResult& r : batch) {
      const std::string& first = todo[r.index].files.front();
      if (!written) {
        try {
          store.PutRecording(r.recording);
        } catch (const std::exception& e) {
          outcome.problems.push_back({first, std::string("not written to the library: ") + e.what()});
          if (progress) progress({++done, todo.size(), first});
          continue;
        }
      }
      ++outcome.indexed;
      if (progress) progress({++done, todo.size(), first});
    }
    batch.clear();
  };
  Clock::time_point due = Clock::time_point::max();
  for (std::size_t taken = 0; taken < todo.size();) {
    std::optional<ReadResult> popped = queue.Pop(batch.empty() ? Clock::time_point::max() : due);
    if (!popped) {
      write();
      continue;
    }
    ++taken;
    ReadResult& r = *popped;
    const std::string& first = todo[r.index].files.front();
    if (options.cancel && options.cancel->load()) {
      outcome.cancelled = true;
      continue;  // drain the workers, writing nothing more
    }
    if (r.error.empty()) {
      if (batch.empty()) due = Clock::now() + kBatchWait;
      batch.push_back(std::move(r));
      if (batch.size() >= kBatchRecordings) write();
      continue;
    }
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
    if (progress) progress({++done, todo.size(), first});
  }
  write();  // the last batch, also when cancelled: its recordings are whole
  return outcome;
}

}  // namespace library
