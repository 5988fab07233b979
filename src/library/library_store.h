#pragma once

// The library over one database connection: the schema (brought up to date
// on opening), each recording written whole in one transaction, the files
// already indexed, and the searches. The same SQL serves SQLite and
// PostgreSQL.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/library_recording.h"
#include "library/sql_connection.h"

namespace library {

// The schema this build writes; older libraries are migrated on opening.
inline constexpr int kSchemaVersion = 1;

// One bound of a time range, on the clock it was given in.
struct TimeBound {
  enum class Clock { kUtc, kLocal, kTimeline };
  Clock clock = Clock::kUtc;
  int64_t value = 0;  // milliseconds since 1970 (UTC or the DVR's local clock), or centis of the timeline
};

struct SearchQuery {
  std::optional<std::string> eventKind;  // "harsh" or "trigger": events instead of recordings
  std::optional<std::string> eventName;  // the trigger's name (exact, any letter case)
  std::optional<double> nearLatitude, nearLongitude, nearMetres;
  std::optional<TimeBound> from, to;
  std::optional<std::string> title;  // part of the DVR title, any letter case
  bool findings = false;             // only recordings whose quick check found something
};

struct SearchHit {
  std::string path;    // the recording's first file
  int64_t centis = 0;  // the timeline position to open it at
  std::optional<int64_t> utcMillis, localMillis;
  std::string kind;  // "harsh", "trigger", "pass" (closest to the --near place) or "recording"
  std::string name, value;
  std::optional<double> latitude, longitude;
  std::string title, checkSummary;
};

class LibraryStore {
 public:
  // Takes the connection and brings its schema up to date. Throws SqlError,
  // also for a library written by a newer build.
  explicit LibraryStore(std::unique_ptr<SqlConnection> connection);

  int SchemaVersion();
  // Replaces whatever the library holds of the recording and of any of its
  // files, in one transaction.
  void PutRecording(const LibraryRecording& recording);
  // The same for several, in order, in one transaction: whole or none. The
  // database's cost of a commit (the index pages it rewrites) is shared.
  void PutRecordings(const std::vector<const LibraryRecording*>& recordings);
  // Takes the recording's rows out of the library, in one transaction.
  void RemoveRecording(int64_t id);
  // The files of every indexed recording, by recording id.
  std::map<int64_t, std::vector<LibraryFile>> IndexedFiles();
  int64_t CountRecordings();
  std::vector<SearchHit> Search(const SearchQuery& query);
  SqlConnection& Connection() { return *db_; }

 private:
  void Migrate();
  void WriteRows(const LibraryRecording& recording);
  std::unique_ptr<SqlConnection> db_;
};

}  // namespace library
