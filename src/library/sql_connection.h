#pragma once

// The little the library asks of a database: statements with positional
// parameters ("?") that return rows of texts, and transactions. The SQLite
// and PostgreSQL backends implement it; the schema and the queries are
// written once over it, in SQL both understand.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace library {

// A parameter: NULL, a whole number, a real or a text.
struct SqlValue {
  enum class Type { kNull, kInteger, kReal, kText };
  Type type = Type::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string text;

  SqlValue() = default;
  SqlValue(int64_t v) : type(Type::kInteger), integer(v) {}
  SqlValue(int v) : type(Type::kInteger), integer(v) {}
  SqlValue(double v) : type(Type::kReal), real(v) {}
  SqlValue(std::string v) : type(Type::kText), text(std::move(v)) {}
  SqlValue(const char* v) : type(Type::kText), text(v) {}
};

// One row's columns as texts (a NULL column is nullopt).
using SqlRow = std::vector<std::optional<std::string>>;

// A failed statement, connection or transaction; what() is the database's
// own one-line reason.
struct SqlError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class SqlConnection {
 public:
  virtual ~SqlConnection() = default;
  // Runs `sql` with `params` bound to its "?" in order; the rows it returns.
  // Throws SqlError.
  std::vector<SqlRow> Run(const std::string& sql, const std::vector<SqlValue>& params = {}) {
    return Execute(sql, params);
  }
  // A write transaction; Commit or Rollback ends it.
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  // Holds off other connections while the schema is brought up to date
  // (PostgreSQL workers starting at once); SQLite's write lock does it in Begin.
  virtual void LockSchema() {}
  virtual void UnlockSchema() {}
  // "sqlite" or "postgresql".
  virtual std::string Backend() const = 0;

 protected:
  virtual std::vector<SqlRow> Execute(const std::string& sql, const std::vector<SqlValue>& params) = 0;
};

// Opens `where`: a "postgresql://" or "postgres://" URL, or the path of an
// SQLite file (made, with its folder, when missing). Throws SqlError.
std::unique_ptr<SqlConnection> OpenSqlConnection(const std::string& where);

// The default library: $XDG_DATA_HOME/qmxplayer/library.sqlite, or
// ~/.local/share/qmxplayer/library.sqlite without that variable.
std::string DefaultLibraryPath();

// Whether `where` names a PostgreSQL server rather than an SQLite file.
bool IsPostgresUrl(const std::string& where);

}  // namespace library
