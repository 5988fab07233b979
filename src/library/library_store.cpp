#include "library/library_store.h"

#include <algorithm>
#include <cmath>

#include "evidence/track_points.h"
#include "library/number_text.h"

namespace library {
namespace {

// Each step brings the schema from its position in the list to the next
// version; a library is never rebuilt, only stepped forward. Types are
// those both backends read the same way (BIGINT is SQLite's INTEGER).
const std::vector<std::vector<const char*>> kMigrations = {
    {
        "CREATE TABLE recordings (id BIGINT PRIMARY KEY, first_path TEXT NOT NULL UNIQUE, title TEXT NOT "
        "NULL,"
        " dvr_version TEXT NOT NULL, cameras TEXT NOT NULL, start_utc_ms BIGINT, end_utc_ms BIGINT,"
        " start_local_ms BIGINT, end_local_ms BIGINT, duration_centis BIGINT NOT NULL,"
        " check_summary TEXT NOT NULL, findings BIGINT NOT NULL)",
        "CREATE TABLE files (recording_id BIGINT NOT NULL, seq BIGINT NOT NULL, path TEXT NOT NULL UNIQUE,"
        " bytes BIGINT NOT NULL, mtime_ns BIGINT NOT NULL, sha256 TEXT NOT NULL, empty BIGINT NOT NULL,"
        " PRIMARY KEY (recording_id, seq))",
        "CREATE TABLE events (recording_id BIGINT NOT NULL, centis BIGINT NOT NULL, utc_ms BIGINT,"
        " local_ms BIGINT, kind TEXT NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL,"
        " latitude DOUBLE PRECISION, longitude DOUBLE PRECISION)",
        "CREATE TABLE track (recording_id BIGINT NOT NULL, centis BIGINT NOT NULL, utc_ms BIGINT NOT NULL,"
        " local_ms BIGINT NOT NULL, latitude DOUBLE PRECISION NOT NULL, longitude DOUBLE PRECISION NOT NULL,"
        " speed_kmh BIGINT NOT NULL)",
        "CREATE INDEX recordings_span ON recordings (start_utc_ms, end_utc_ms)",
        "CREATE INDEX events_recording ON events (recording_id)",
        "CREATE INDEX events_utc ON events (kind, utc_ms)",
        "CREATE INDEX events_local ON events (kind, local_ms)",
        "CREATE INDEX events_place ON events (kind, latitude, longitude)",
        "CREATE INDEX track_recording ON track (recording_id, centis)",
        "CREATE INDEX track_utc ON track (utc_ms)",
        "CREATE INDEX track_local ON track (local_ms)",
        "CREATE INDEX track_place ON track (latitude, longitude)",
    },
};

std::optional<int64_t> OptionalInt(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return std::stoll(*text);
}
std::optional<double> OptionalReal(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return ParseDecimal(*text);
}
SqlValue Value(const std::optional<int64_t>& v) {
  return v ? SqlValue(*v) : SqlValue();
}
SqlValue Value(const std::optional<double>& v) {
  return v ? SqlValue(*v) : SqlValue();
}

// `text` as a LIKE pattern matching it anywhere, its own % and _ taken literally.
std::string ContainsPattern(const std::string& text) {
  std::string pattern = "%";
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\') pattern += '\\';
    pattern += char(std::tolower(static_cast<unsigned char>(c)));
  }
  return pattern + "%";
}

// The column a bound compares with, among the row's UTC, local and timeline times.
std::string BoundColumn(const TimeBound& b, const std::string& table) {
  switch (b.clock) {
    case TimeBound::Clock::kUtc:
      return table + ".utc_ms";
    case TimeBound::Clock::kLocal:
      return table + ".local_ms";
    case TimeBound::Clock::kTimeline:
      break;
  }
  return table + ".centis";
}

struct Where {
  std::string sql;
  std::vector<SqlValue> params;
  void Add(const std::string& condition, std::vector<SqlValue> values = {}) {
    sql += " AND " + condition;
    for (SqlValue& v : values) params.push_back(std::move(v));
  }
};

// The conditions on the recording (title, findings) every search shares.
void AddRecordingFilters(const SearchQuery& q, Where& where) {
  if (q.title) where.Add("lower(r.title) LIKE ? ESCAPE '\\'", {ContainsPattern(*q.title)});
  if (q.findings) where.Add("r.findings > 0");
}

// The box around the --near circle, for the place indexes; the exact
// distance is measured on what it lets through. With a time range as well,
// the time index is the one to use (a place is passed again on every trip,
// a time window holds few rows): the unary "+" keeps both databases off the
// place index then.
void AddPlaceBox(const SearchQuery& q, const std::string& table, Where& where) {
  if (!q.nearLatitude) return;
  const std::string column = (q.from || q.to ? "+" : "") + table;
  constexpr double kMetresPerDegree = 111320.0;
  const double dLat = *q.nearMetres / kMetresPerDegree * 1.01;
  const double cosLat = std::max(std::cos(*q.nearLatitude * M_PI / 180.0), 1e-6);
  const double dLon = std::min(180.0, *q.nearMetres / (kMetresPerDegree * cosLat) * 1.01);
  where.Add(
      column + ".latitude BETWEEN ? AND ? AND " + column + ".longitude BETWEEN ? AND ?",
      {*q.nearLatitude - dLat, *q.nearLatitude + dLat, *q.nearLongitude - dLon, *q.nearLongitude + dLon});
}

void AddTimeRange(const SearchQuery& q, const std::string& table, Where& where) {
  if (q.from) where.Add(BoundColumn(*q.from, table) + " >= ?", {q.from->value});
  if (q.to) where.Add(BoundColumn(*q.to, table) + " <= ?", {q.to->value});
}

bool Inside(const SearchQuery& q, const std::optional<double>& lat, const std::optional<double>& lon,
            double* metres = nullptr) {
  if (!q.nearLatitude) return true;
  if (!lat || !lon) return false;
  const double d = evidence::DistanceMetres(*q.nearLatitude, *q.nearLongitude, *lat, *lon);
  if (metres) *metres = d;
  return d <= *q.nearMetres;
}

void DeleteRows(SqlConnection& db, int64_t id) {
  db.Run("DELETE FROM events WHERE recording_id = ?", {id});
  db.Run("DELETE FROM track WHERE recording_id = ?", {id});
  db.Run("DELETE FROM files WHERE recording_id = ?", {id});
  db.Run("DELETE FROM recordings WHERE id = ?", {id});
}

}  // namespace

LibraryStore::LibraryStore(std::unique_ptr<SqlConnection> connection) : db_(std::move(connection)) {
  Migrate();
}

void LibraryStore::Migrate() {
  db_->LockSchema();
  try {
    db_->Begin();
    db_->Run("CREATE TABLE IF NOT EXISTS schema_version (version BIGINT NOT NULL)");
    const std::vector<SqlRow> rows = db_->Run("SELECT MAX(version) FROM schema_version");
    const int64_t version = rows.empty() ? 0 : OptionalInt(rows[0][0]).value_or(0);
    if (version > kSchemaVersion)
      throw SqlError("library of schema " + std::to_string(version) + " is newer than this qmxplayer (" +
                     std::to_string(kSchemaVersion) + ")");
    for (std::size_t step = std::size_t(version); step < kMigrations.size(); ++step) {
      for (const char* sql : kMigrations[step]) db_->Run(sql);
    }
    if (version < kSchemaVersion) {
      db_->Run("DELETE FROM schema_version");
      db_->Run("INSERT INTO schema_version (version) VALUES (?)", {int64_t(kSchemaVersion)});
    }
    db_->Commit();
  } catch (...) {
    db_->Rollback();
    db_->UnlockSchema();
    throw;
  }
  db_->UnlockSchema();
}

int LibraryStore::SchemaVersion() {
  const std::vector<SqlRow> rows = db_->Run("SELECT MAX(version) FROM schema_version");
  return int(OptionalInt(rows.at(0).at(0)).value_or(0));
}

void LibraryStore::PutRecording(const LibraryRecording& rec) {
  PutRecordings({&rec});
}

void LibraryStore::PutRecordings(const std::vector<const LibraryRecording*>& recordings) {
  db_->Begin();
  try {
    for (const LibraryRecording* rec : recordings) WriteRows(*rec);
    db_->Commit();
  } catch (...) {
    db_->Rollback();
    throw;
  }
}

void LibraryStore::WriteRows(const LibraryRecording& rec) {
  std::vector<int64_t> stale{rec.id};
  for (const LibraryFile& f : rec.files) {
    for (const SqlRow& row : db_->Run("SELECT recording_id FROM files WHERE path = ?", {f.path}))
      stale.push_back(std::stoll(*row[0]));
  }
  std::sort(stale.begin(), stale.end());
  stale.erase(std::unique(stale.begin(), stale.end()), stale.end());
  for (int64_t id : stale) DeleteRows(*db_, id);
  db_->Run(
      "INSERT INTO recordings (id, first_path, title, dvr_version, cameras, start_utc_ms, end_utc_ms,"
      " start_local_ms, end_local_ms, duration_centis, check_summary, findings)"
      " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      {rec.id, rec.files.front().path, rec.title, rec.version, rec.cameras, Value(rec.startUtcMillis),
       Value(rec.endUtcMillis), Value(rec.startLocalMillis), Value(rec.endLocalMillis), rec.durationCentis,
       rec.checkSummary, rec.findings});
  for (std::size_t i = 0; i < rec.files.size(); ++i) {
    const LibraryFile& f = rec.files[i];
    db_->Run(
        "INSERT INTO files (recording_id, seq, path, bytes, mtime_ns, sha256, empty)"
        " VALUES (?, ?, ?, ?, ?, ?, ?)",
        {rec.id, int64_t(i), f.path, f.bytes, f.mtimeNanos, f.sha256, int64_t(f.empty)});
  }
  for (const LibraryEvent& e : rec.events) {
    db_->Run(
        "INSERT INTO events (recording_id, centis, utc_ms, local_ms, kind, name, value, latitude, "
        "longitude)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {rec.id, e.centis, Value(e.utcMillis), Value(e.localMillis), e.kind, e.name, e.value,
         Value(e.latitude), Value(e.longitude)});
  }
  for (const LibraryTrackPoint& p : rec.track) {
    db_->Run(
        "INSERT INTO track (recording_id, centis, utc_ms, local_ms, latitude, longitude, speed_kmh)"
        " VALUES (?, ?, ?, ?, ?, ?, ?)",
        {rec.id, p.centis, p.utcMillis, p.localMillis, p.latitude, p.longitude, p.speedKmh});
  }
}

void LibraryStore::RemoveRecording(int64_t id) {
  db_->Begin();
  try {
    DeleteRows(*db_, id);
    db_->Commit();
  } catch (...) {
    db_->Rollback();
    throw;
  }
}

std::map<int64_t, std::vector<LibraryFile>> LibraryStore::IndexedFiles() {
  std::map<int64_t, std::vector<LibraryFile>> files;
  for (const SqlRow& row : db_->Run("SELECT recording_id, path, bytes, mtime_ns, sha256, empty FROM files "
                                    "ORDER BY recording_id, seq")) {
    LibraryFile f;
    f.path = *row[1];
    f.bytes = std::stoll(*row[2]);
    f.mtimeNanos = std::stoll(*row[3]);
    f.sha256 = *row[4];
    f.empty = std::stoll(*row[5]) != 0;
    files[std::stoll(*row[0])].push_back(std::move(f));
  }
  return files;
}

int64_t LibraryStore::CountRecordings() {
  return OptionalInt(db_->Run("SELECT COUNT(*) FROM recordings").at(0).at(0)).value_or(0);
}

std::vector<SearchHit> LibraryStore::Search(const SearchQuery& q) {
  std::vector<SearchHit> hits;
  auto hitOf = [](const SqlRow& row) {
    SearchHit h;
    h.path = *row[0];
    h.centis = std::stoll(*row[1]);
    h.utcMillis = OptionalInt(row[2]);
    h.localMillis = OptionalInt(row[3]);
    h.latitude = OptionalReal(row[4]);
    h.longitude = OptionalReal(row[5]);
    h.title = *row[6];
    h.checkSummary = *row[7];
    return h;
  };
  Where where;
  if (q.eventKind) {
    where.Add("e.kind = ?", {*q.eventKind});
    if (q.eventName) where.Add("lower(e.name) = lower(?)", {*q.eventName});
    AddPlaceBox(q, "e", where);
    AddTimeRange(q, "e", where);
    AddRecordingFilters(q, where);
    for (const SqlRow& row :
         db_->Run("SELECT r.first_path, e.centis, e.utc_ms, e.local_ms, e.latitude, e.longitude, r.title,"
                  " r.check_summary, e.kind, e.name, e.value FROM events e JOIN recordings r ON r.id = "
                  "e.recording_id"
                  " WHERE 1 = 1" +
                      where.sql + " ORDER BY r.first_path, e.centis",
                  where.params)) {
      SearchHit h = hitOf(row);
      if (!Inside(q, h.latitude, h.longitude)) continue;
      h.kind = *row[8];
      h.name = *row[9];
      h.value = *row[10];
      hits.push_back(std::move(h));
    }
    return hits;
  }
  if (q.nearLatitude) {
    // The moment of each recording's track closest to the place.
    AddPlaceBox(q, "t", where);
    AddTimeRange(q, "t", where);
    AddRecordingFilters(q, where);
    double best = 0;
    for (const SqlRow& row :
         db_->Run("SELECT r.first_path, t.centis, t.utc_ms, t.local_ms, t.latitude, t.longitude, r.title,"
                  " r.check_summary FROM track t JOIN recordings r ON r.id = t.recording_id"
                  " WHERE 1 = 1" +
                      where.sql + " ORDER BY r.first_path, t.centis",
                  where.params)) {
      SearchHit h = hitOf(row);
      double metres = 0;
      if (!Inside(q, h.latitude, h.longitude, &metres)) continue;
      h.kind = "pass";
      if (!hits.empty() && hits.back().path == h.path) {
        if (metres < best) hits.back() = std::move(h), best = metres;
        continue;
      }
      best = metres;
      hits.push_back(std::move(h));
    }
    return hits;
  }
  // Recordings overlapping the time range, opened where it begins.
  auto span = [](const TimeBound& b, bool start) {
    switch (b.clock) {
      case TimeBound::Clock::kUtc:
        return std::string(start ? "r.start_utc_ms" : "r.end_utc_ms");
      case TimeBound::Clock::kLocal:
        return std::string(start ? "r.start_local_ms" : "r.end_local_ms");
      case TimeBound::Clock::kTimeline:
        break;
    }
    return std::string(start ? "0" : "r.duration_centis");
  };
  if (q.from) where.Add(span(*q.from, false) + " >= ?", {q.from->value});
  if (q.to) where.Add(span(*q.to, true) + " <= ?", {q.to->value});
  AddRecordingFilters(q, where);
  for (const SqlRow& row : db_->Run(
           "SELECT r.first_path, 0, r.start_utc_ms, r.start_local_ms, NULL, NULL, r.title, r.check_summary,"
           " r.duration_centis FROM recordings r WHERE 1 = 1" +
               where.sql + " ORDER BY r.first_path",
           where.params)) {
    SearchHit h = hitOf(row);
    h.kind = "recording";
    if (q.from && q.from->clock != TimeBound::Clock::kTimeline) {
      const std::optional<int64_t>& start =
          q.from->clock == TimeBound::Clock::kUtc ? h.utcMillis : h.localMillis;
      if (start && q.from->value > *start) h.centis = (q.from->value - *start) / 10;
    } else if (q.from) {
      h.centis = q.from->value;
    }
    if (h.utcMillis) h.utcMillis = *h.utcMillis + h.centis * 10;
    if (h.localMillis) h.localMillis = *h.localMillis + h.centis * 10;
    hits.push_back(std::move(h));
  }
  return hits;
}

}  // namespace library
