#include "postgres_server.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "library/sql_connection.h"
#include "run_command.h"

namespace fs = std::filesystem;

std::string PostgresServer::BinaryFolder() {
  if (const char* given = std::getenv("QMX_PG_BIN"))
    return fs::exists(fs::path(given) / "initdb") ? given : "";
  std::vector<std::string> found;
  std::error_code ec;
  for (fs::directory_iterator it("/usr/lib/postgresql", ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path bin = it->path() / "bin";
    if (fs::exists(bin / "initdb") && fs::exists(bin / "pg_ctl")) found.push_back(bin.string());
  }
  std::sort(found.begin(), found.end());
  return found.empty() ? "" : found.back();
}

std::string PostgresServer::AsServerUser(const std::string& command) const {
  if (::geteuid() != 0) return command;
  // runuser lives in /usr/sbin, which a root shell's PATH may lack.
  const std::string runuser = fs::exists("/usr/sbin/runuser") ? "/usr/sbin/runuser" : "runuser";
  return runuser + " -u postgres -- sh -c " + ShellQuote(command);
}

PostgresServer::PostgresServer() : dir_(std::make_unique<TempDir>()), bin_(BinaryFolder()) {
  if (bin_.empty()) {
    error_ = "no PostgreSQL server binaries (initdb, pg_ctl)";
    return;
  }
  if (::geteuid() == 0) {
    const passwd* pw = ::getpwnam("postgres");
    if (!pw || ::chown(dir_->path().c_str(), pw->pw_uid, pw->pw_gid) != 0) {
      error_ = "running as root without a postgres user to run the server as";
      return;
    }
  }
  // A port of our own, only for the socket's name: the server listens on no TCP address.
  port_ = 20000 + int(::getpid() % 20000);
  const std::string data = (dir_->path() / "data").string(), socket = dir_->path().string();
  int status = -1;
  const std::string initLog =
      RunCommand(AsServerUser(ShellQuote(bin_ + "/initdb") + " -D " + ShellQuote(data) +
                              " -U postgres --auth=trust --no-sync -E UTF8 --locale=C 2>&1"),
                 &status);
  if (status != 0) {
    error_ = "initdb failed: " + initLog;
    return;
  }
  const std::string options = "-k " + socket + " -p " + std::to_string(port_) +
                              " -c listen_addresses='' -c fsync=off -c max_connections=40";
  const std::string startLog =
      RunCommand(AsServerUser(ShellQuote(bin_ + "/pg_ctl") + " -D " + ShellQuote(data) + " -l " +
                              ShellQuote((dir_->path() / "server.log").string()) + " -w -t 60 -o " +
                              ShellQuote(options) + " start 2>&1"),
                 &status);
  if (status != 0) {
    error_ = "pg_ctl start failed: " + startLog;
    return;
  }
  started_ = true;
}

PostgresServer::~PostgresServer() {
  if (started_)
    RunCommand(AsServerUser(ShellQuote(bin_ + "/pg_ctl") + " -D " +
                            ShellQuote((dir_->path() / "data").string()) +
                            " -m fast -w -t 60 stop >/dev/null 2>&1"));
}

std::string PostgresServer::Url(const std::string& database) const {
  return "postgresql:///" + database + "?host=" + dir_->path().string() + "&port=" + std::to_string(port_) +
         "&user=postgres";
}

std::string PostgresServer::CreateDatabase(const std::string& name) {
  library::OpenSqlConnection(Url("postgres"))->Run("CREATE DATABASE " + name);
  return Url(name);
}
