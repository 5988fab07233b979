#include "library/sqlite_connection.h"

#include <sqlite3.h>

#include <filesystem>
#include <map>

namespace library {
namespace {

struct StatementFinalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

constexpr int kBusyMilliseconds = 30000;

class SqliteConnection : public SqlConnection {
 public:
  explicit SqliteConnection(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db_.reset(db);
    if (rc != SQLITE_OK) throw SqlError(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_busy_timeout(db, kBusyMilliseconds);
    Run("PRAGMA journal_mode=WAL", {});
    Run("PRAGMA synchronous=NORMAL", {});
    // An index run rewrites pages of every index with each commit: with the
    // pages kept in memory and the log copied back less often, far fewer are
    // read and written again. Neither changes what a crash can lose.
    Run("PRAGMA cache_size=-131072", {});  // KiB
    Run("PRAGMA wal_autocheckpoint=10000", {});  // pages
  }

  std::vector<SqlRow> Execute(const std::string& sql, const std::vector<SqlValue>& params) override {
    sqlite3_stmt* s = Prepared(sql);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    for (std::size_t i = 0; i < params.size(); ++i) Bind(s, int(i) + 1, params[i]);
    std::vector<SqlRow> rows;
    for (;;) {
      const int rc = sqlite3_step(s);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) {
        const std::string reason = sqlite3_errmsg(db_.get());
        sqlite3_reset(s);
        throw SqlError(reason);
      }
      SqlRow row(std::size_t(sqlite3_column_count(s)));
      for (int c = 0; c < int(row.size()); ++c) {
        if (sqlite3_column_type(s, c) == SQLITE_NULL) continue;
        const unsigned char* text = sqlite3_column_text(s, c);
        row[std::size_t(c)] =
            std::string(reinterpret_cast<const char*>(text), std::size_t(sqlite3_column_bytes(s, c)));
      }
      rows.push_back(std::move(row));
    }
    sqlite3_reset(s);
    return rows;
  }

  // IMMEDIATE takes the write lock at once, so two writers never both read
  // under a shared lock and then deadlock upgrading it.
  void Begin() override { Run("BEGIN IMMEDIATE", {}); }
  void Commit() override { Run("COMMIT", {}); }
  void Rollback() override {
    if (!sqlite3_get_autocommit(db_.get())) Run("ROLLBACK", {});
  }
  std::string Backend() const override { return "sqlite"; }

 private:
  sqlite3_stmt* Prepared(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found != statements_.end()) return found->second.get();
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.c_str(), int(sql.size()), &s, nullptr) != SQLITE_OK)
      throw SqlError(sqlite3_errmsg(db_.get()));
    return statements_.emplace(sql, Statement(s)).first->second.get();
  }

  void Bind(sqlite3_stmt* s, int at, const SqlValue& v) {
    int rc = SQLITE_OK;
    switch (v.type) {
      case SqlValue::Type::kNull:
        rc = sqlite3_bind_null(s, at);
        break;
      case SqlValue::Type::kInteger:
        rc = sqlite3_bind_int64(s, at, v.integer);
        break;
      case SqlValue::Type::kReal:
        rc = sqlite3_bind_double(s, at, v.real);
        break;
      case SqlValue::Type::kText:
        rc = sqlite3_bind_text(s, at, v.text.data(), int(v.text.size()), SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK) throw SqlError(sqlite3_errmsg(db_.get()));
  }

  std::unique_ptr<sqlite3, DatabaseCloser> db_;
  // Declared after db_, so the statements are finalized before it closes.
  std::map<std::string, Statement> statements_;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path) {
  return std::make_unique<SqliteConnection>(path);
}

}  // namespace library
