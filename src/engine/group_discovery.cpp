#include "engine/group_discovery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "engine/file_order.h"

namespace {

std::string LowerTail(const std::string& s, size_t n) {
  std::string tail = s.size() >= n ? s.substr(s.size() - n) : s;
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail;
}

bool IsContinuationFile(const std::string& path) {
  const std::string tail = LowerTail(path, 5);
  return tail == "+.avi" || tail == "#.avi";
}

}  // namespace

DiscoveredFiles DiscoverGroups(const std::vector<std::string>& paths) {
  DiscoveredFiles found;
  std::vector<FileEntry>& entries = found.entries;
  for (const std::string& path : paths) {
    const uint32_t key = FileOrderKey(FileNameOf(path));
    auto at = std::lower_bound(entries.begin(), entries.end(), key,
                               [](const FileEntry& e, uint32_t k) { return e.key < k; });
    if (at != entries.end() && at->key == key) {
      at->path = path;  // the file found later wins
    } else {
      entries.insert(at, {path, key});
    }
  }
  // Each continuation file joins the file before it; once it is removed,
  // the next continuation file's predecessor is that same base file.
  for (size_t i = 1; i < entries.size();) {
    if (!IsContinuationFile(entries[i].path)) {
      ++i;
      continue;
    }
    const std::string& base = entries[i - 1].path;
    auto group = std::find_if(found.groups.begin(), found.groups.end(),
                              [&](const FileGroup& g) { return g.name == base; });
    if (group == found.groups.end()) group = found.groups.insert(found.groups.begin(), FileGroup{base, {}});
    group->files.push_back(entries[i].path);
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return found;
}

std::vector<std::string> ListAviFiles(const std::string& folder) {
  std::vector<std::string> paths;
  std::error_code ec;
  const std::filesystem::path dir =
      folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder);
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code kindError;
    if (!it->is_regular_file(kindError)) continue;
    if (name.size() > 4 && LowerTail(name, 4) == ".avi")
      paths.push_back(folder.empty() ? name : folder + "/" + name);
  }
  return paths;
}

DiscoveredFiles DiscoverGroupsInFolder(const std::string& folder) {
  return DiscoverGroups(ListAviFiles(folder));
}

const FileGroup* FindGroupOf(const DiscoveredFiles& found, const std::string& path) {
  for (const FileGroup& g : found.groups) {
    if (g.name == path || std::find(g.files.begin(), g.files.end(), path) != g.files.end()) return &g;
  }
  return nullptr;
}
