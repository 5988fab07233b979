#pragma once

#include <memory>
#include <string>

#include "temp_dir.h"

// A PostgreSQL server of the test's own: initdb into a temporary folder,
// started by pg_ctl on a private port with its socket in that folder (no TCP
// at all), stopped and removed with the object. Run as root, the server's
// commands run as the "postgres" user, since PostgreSQL refuses root.
class PostgresServer {
 public:
  // The server binaries' folder (QMX_PG_BIN, else the newest
  // /usr/lib/postgresql/*/bin holding initdb and pg_ctl), or "" when absent.
  static std::string BinaryFolder();

  // Starts the server; Error() says why when it could not.
  PostgresServer();
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  const std::string& Error() const { return error_; }
  // A new, empty database and the URL of it.
  std::string CreateDatabase(const std::string& name);

 private:
  std::string Url(const std::string& database) const;
  std::string AsServerUser(const std::string& command) const;

  std::unique_ptr<TempDir> dir_;
  std::string bin_, error_;
  int port_ = 0;
  bool started_ = false;
};
