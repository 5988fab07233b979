#pragma once

// Writing the files of exports and packages: all or nothing.

#include <string>

namespace evidence {

// Writes `bytes` to a new file beside `path` and renames it over `path` once
// every byte is on disk, so a failed write (full disk, no permission) never
// leaves a half file nor spoils an existing one. False with the system's
// reason in `error` (never repeating the path).
bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace evidence
