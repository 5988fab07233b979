#pragma once

// The checksum list `sha256sum` writes and `sha256sum -c` reads:
//   <64 hex digits> *<name>      (binary mode, which we write)
//   <64 hex digits>  <name>      (text mode, read as well)
// A name holding a backslash, a line feed or a carriage return is written
// escaped ("\\", "\n", "\r") on a line that starts with a backslash, as
// GNU coreutils 9 does; any other byte, blanks included, stays as it is.

#include <string>
#include <vector>

namespace evidence {

struct ManifestEntry {
  std::string hex;   // 64 lower-case hex digits
  std::string name;  // the file name as stored, unescaped
};

// One line, with its line feed.
std::string FormatManifestLine(const ManifestEntry& entry);

// Reads every line of `text`. False with the (1-based) line number and the
// reason in `error` at the first line that is not a checksum line; empty
// lines are skipped. Digests are returned in lower case.
bool ParseManifest(const std::string& text, std::vector<ManifestEntry>& entries, std::string& error);

}  // namespace evidence
