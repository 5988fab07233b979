#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A folder's date-stamped recordings sorted by FileOrderKey, and the groups
// a base file forms with the continuation files ("...+.avi", "...#.avi")
// recorded after it.

struct FileEntry {
  std::string path;
  uint32_t key = 0;
  bool operator==(const FileEntry&) const = default;
};

struct FileGroup {
  std::string name;                // full path of the base file
  std::vector<std::string> files;  // its continuation files in key order
  bool operator==(const FileGroup&) const = default;
};

struct DiscoveredFiles {
  std::vector<FileEntry> entries;  // ascending key; continuation files removed
  std::vector<FileGroup> groups;   // the group made last comes first
};

// `paths` are the folder's AVI files in enumeration order. Of two files
// with equal keys the later one wins. A continuation file joins the last
// ordinary file before it; one with no file before it stays an entry.
DiscoveredFiles DiscoverGroups(const std::vector<std::string>& paths);

// The regular files of `folder` whose names end in ".avi" (any letter case), in the
// file system's order, as `folder` + "/" + name (just the name for an empty
// folder text, which lists the current folder). An unreadable folder gives
// nothing.
std::vector<std::string> ListAviFiles(const std::string& folder);
// DiscoverGroups over ListAviFiles(folder).
DiscoveredFiles DiscoverGroupsInFolder(const std::string& folder);

// The group `path` belongs to (as base or continuation file), or nullptr.
const FileGroup* FindGroupOf(const DiscoveredFiles& found, const std::string& path);
