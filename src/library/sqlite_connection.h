#pragma once

#include <memory>
#include <string>

#include "library/sql_connection.h"

namespace library {

// The embedded backend: one SQLite file in write-ahead-log mode, so readers
// go on while an indexer writes; a writer waits up to half a minute for
// another's transaction to end.
std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path);

}  // namespace library
