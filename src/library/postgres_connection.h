#pragma once

#include <memory>
#include <string>

#include "library/sql_connection.h"

namespace library {

// The shared backend over libpq: `url` is a libpq connection URI
// ("postgresql://user@host:port/db", "postgresql:///db?host=/run/sock").
std::unique_ptr<SqlConnection> OpenPostgres(const std::string& url);

}  // namespace library
