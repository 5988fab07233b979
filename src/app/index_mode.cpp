#include "app/index_mode.h"

#include <unistd.h>

#include <iostream>
#include <thread>

#include "app/check_mode.h"
#include "app/events_mode.h"
#include "app/mode_status.h"
#include "base/mode_arguments.h"
#include "base/settings.h"
#include "library/library_indexer.h"
#include "library/sql_connection.h"

namespace {

constexpr const char* kIndexUsage =
    "usage: qmxplayer --index ROOT... [--db FILE|URL] [--jobs N] [--shard K/N]\n";

bool ParseShard(const std::string& text, int& shard, int& shards) {
  const auto slash = text.find('/');
  long long k = 0, n = 0;
  if (slash == std::string::npos || !ParseWholeNumber(text.substr(0, slash), k) ||
      !ParseWholeNumber(text.substr(slash + 1), n) || n < 1 || n > 100000 || k < 0 || k >= n)
    return false;
  shard = int(k), shards = int(n);
  return true;
}

}  // namespace

std::string LibraryLocation(const std::string& given) {
  return given.empty() ? library::DefaultLibraryPath() : given;
}

int RunIndexMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  library::IndexOptions options;
  options.jobs = int(std::max(1u, std::thread::hardware_concurrency()));
  options.harshTenths = HarshTenthsFromText(ReadSetting(kHarshMotionSetting));
  std::string db;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    long long jobs = 0;
    if (a == "--db" && hasValue) {
      db = args[++i];
    } else if (a == "--jobs" && hasValue) {
      if (!ParseWholeNumber(args[++i], jobs) || jobs < 1 || jobs > 256)
        return ModeFailure(err, "--jobs", "wants a whole number from 1 to 256", kExitBadInput);
      options.jobs = int(jobs);
    } else if (a == "--shard" && hasValue) {
      if (!ParseShard(args[++i], options.shard, options.shards))
        return ModeFailure(err, "--shard", "wants K/N with N from 1 and K from 0 to N-1", kExitBadInput);
    } else if (a.rfind("--", 0) == 0) {
      err << kIndexUsage;
      return kExitBadInput;
    } else {
      options.roots.push_back(a);
    }
  }
  if (options.roots.empty()) {
    err << kIndexUsage;
    return kExitBadInput;
  }
  const std::string where = LibraryLocation(db);
  std::unique_ptr<library::LibraryStore> store;
  try {
    store = std::make_unique<library::LibraryStore>(library::OpenSqlConnection(where));
  } catch (const library::SqlError& e) {
    return ModeFailure(err, where, e.what(), kExitBadInput);
  }

  const bool terminal = &err == &std::cerr && ::isatty(STDERR_FILENO);
  const library::IndexOutcome outcome =
      library::IndexTree(*store, options, [&](const library::IndexProgress& p) {
        if (terminal)
          err << "\rindexing " << p.done << "/" << p.total << std::flush;
        else
          err << "indexing " << p.done << "/" << p.total << ": " << p.path << "\n";
      });
  if (terminal && outcome.indexed + outcome.problems.size() > 0) err << "\n";

  for (const library::OddFile& f : outcome.problems)
    out << "not indexed: " << f.path << ": " << f.reason << "\n";
  int64_t total = -1;
  try {
    total = store->CountRecordings();
  } catch (const library::SqlError&) {
  }
  out << "index: " << outcome.found << " recordings found";
  if (options.shards > 1)
    out << ", " << outcome.inShard << " in shard " << options.shard << "/" << options.shards;
  out << ", " << outcome.indexed << " indexed, " << outcome.unchanged << " unchanged, "
      << outcome.problems.size() << " not indexed";
  if (outcome.removed > 0) out << ", " << outcome.removed << " gone and taken out";
  out << "; the library holds " << total << " recordings\n";
  if (const int status = FinishOutput(out, err); status != kExitDone) return status;
  return outcome.problems.empty() ? kExitDone : kExitFindings;
}
