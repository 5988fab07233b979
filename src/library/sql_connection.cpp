#include "library/sql_connection.h"

#include <cstdlib>

#include "library/postgres_connection.h"
#include "library/sqlite_connection.h"

namespace library {

bool IsPostgresUrl(const std::string& where) {
  return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::string DefaultLibraryPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data && *data) {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.local/share";
  }
  return base + "/qmxplayer/library.sqlite";
}

std::unique_ptr<SqlConnection> OpenSqlConnection(const std::string& where) {
  return IsPostgresUrl(where) ? OpenPostgres(where) : OpenSqlite(where);
}

}  // namespace library
