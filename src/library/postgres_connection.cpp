#include "library/postgres_connection.h"

#include <libpq-fe.h>

#include <cstdio>
#include <map>

#include "library/number_text.h"

namespace library {
namespace {

struct ResultClear {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultClear>;

struct ConnectionFinish {
  void operator()(PGconn* c) const { PQfinish(c); }
};

// Any number of the indexers' schema updates at once take turns on this lock.
constexpr const char* kSchemaLockKey = "724613";

// The server's message without its trailing newline and "ERROR:  " lead.
std::string OneLine(const char* message) {
  std::string text = message ? message : "";
  if (text.rfind("ERROR:  ", 0) == 0) text.erase(0, 8);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  const auto newline = text.find('\n');
  return newline == std::string::npos ? text : text.substr(0, newline);
}

// "?" → "$1", "$2", ...: the queries are written once for both backends.
std::string Numbered(const std::string& sql) {
  std::string out;
  int n = 0;
  for (char c : sql) {
    if (c == '?')
      out += "$" + std::to_string(++n);
    else
      out += c;
  }
  return out;
}

class PostgresConnection : public SqlConnection {
 public:
  explicit PostgresConnection(const std::string& url) : conn_(PQconnectdb(url.c_str())) {
    if (!conn_) throw SqlError("out of memory");
    if (PQstatus(conn_.get()) != CONNECTION_OK) throw SqlError(OneLine(PQerrorMessage(conn_.get())));
    Run("SET client_min_messages TO WARNING");
  }

  std::vector<SqlRow> Execute(const std::string& sql, const std::vector<SqlValue>& params) override {
    const std::string& name = Prepared(sql);
    std::vector<std::string> texts(params.size());
    std::vector<const char*> values(params.size(), nullptr);
    for (std::size_t i = 0; i < params.size(); ++i) {
      const SqlValue& v = params[i];
      if (v.type == SqlValue::Type::kNull) continue;
      if (v.type == SqlValue::Type::kInteger) texts[i] = std::to_string(v.integer);
      if (v.type == SqlValue::Type::kText) texts[i] = v.text;
      if (v.type == SqlValue::Type::kReal) texts[i] = ExactDecimal(v.real);
      values[i] = texts[i].c_str();
    }
    Result r(
        PQexecPrepared(conn_.get(), name.c_str(), int(values.size()), values.data(), nullptr, nullptr, 0));
    const ExecStatusType status = PQresultStatus(r.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
      throw SqlError(OneLine(PQresultErrorMessage(r.get())));
    std::vector<SqlRow> rows(std::size_t(PQntuples(r.get())));
    const int columns = PQnfields(r.get());
    for (int i = 0; i < int(rows.size()); ++i) {
      SqlRow& row = rows[std::size_t(i)];
      row.resize(std::size_t(columns));
      for (int c = 0; c < columns; ++c) {
        if (!PQgetisnull(r.get(), i, c)) row[std::size_t(c)] = std::string(PQgetvalue(r.get(), i, c));
      }
    }
    return rows;
  }

  void Begin() override { Run("BEGIN", {}); }
  void Commit() override { Run("COMMIT", {}); }
  void Rollback() override {
    if (PQtransactionStatus(conn_.get()) != PQTRANS_IDLE) Run("ROLLBACK", {});
  }
  void LockSchema() override { Run(std::string("SELECT pg_advisory_lock(") + kSchemaLockKey + ")", {}); }
  void UnlockSchema() override { Run(std::string("SELECT pg_advisory_unlock(") + kSchemaLockKey + ")", {}); }
  std::string Backend() const override { return "postgresql"; }

 private:
  const std::string& Prepared(const std::string& sql) {
    auto found = names_.find(sql);
    if (found != names_.end()) return found->second;
    const std::string name = "q" + std::to_string(names_.size());
    Result r(PQprepare(conn_.get(), name.c_str(), Numbered(sql).c_str(), 0, nullptr));
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) throw SqlError(OneLine(PQresultErrorMessage(r.get())));
    return names_.emplace(sql, name).first->second;
  }

  std::unique_ptr<PGconn, ConnectionFinish> conn_;
  std::map<std::string, std::string> names_;  // statement text → its prepared name
};

}  // namespace

std::unique_ptr<SqlConnection> OpenPostgres(const std::string& url) {
  return std::make_unique<PostgresConnection>(url);
}

}  // namespace library
