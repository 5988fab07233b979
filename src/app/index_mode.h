#pragma once

#include <ostream>
#include <string>
#include <vector>

// `qmxplayer --index ROOT... [--db URL] [--jobs N] [--shard K/N]`: brings
// the fleet library (the SQLite file of the user's data folder, another
// SQLite FILE, or a postgresql:// URL) up to date with the recordings under
// the ROOT folders. A progress line goes to `err` (one line per recording
// when `err` is no terminal), the files that could not be indexed and a
// summary to `out`. --shard K/N (K from 0 to N-1) indexes only the K-th of N
// disjoint parts, so N workers can share a tree and one PostgreSQL library.
//
// Exit status: 0 every recording indexed or unchanged; 1 some files could
// not be indexed (listed; the rest were); 2 bad command line or the library
// can't be opened; 3 `out` can't be written.
int RunIndexMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The library named by --db, or the default one.
std::string LibraryLocation(const std::string& given);
