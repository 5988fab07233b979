#include "library/recording_discovery.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "engine/group_discovery.h"
#include "engine/numbered_run.h"

namespace library {
namespace {

namespace fs = std::filesystem;

bool IsNumberedName(const std::string& path) {
  return path.size() >= 8 && path[path.size() - 8] == '-';
}

bool Empty(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = fs::file_size(path, ec);
  return ec || size <= kEmptyRecordingBytes;
}

// The recordings of one folder's AVI files (`paths`, absolute).
void GroupFolder(std::vector<std::string> paths, TreeListing& out) {
  std::sort(paths.begin(), paths.end());
  const DiscoveredFiles found = DiscoverGroups(paths);
  std::set<std::string> claimed;
  for (const std::string& path : paths) {
    if (claimed.count(path)) continue;
    FoundRecording r;
    if (IsNumberedName(path)) {
      for (const NumberedRunFile& f : ListNumberedRun(path)) {
        r.files.push_back(f.path);
        r.empty.push_back(f.empty);
      }
    } else if (const FileGroup* group = FindGroupOf(found, path)) {
      r.files.push_back(group->name);
      r.files.insert(r.files.end(), group->files.begin(), group->files.end());
      for (const std::string& f : r.files) r.empty.push_back(Empty(f));
    }
    if (r.files.empty()) {
      r.files = {path};
      r.empty = {Empty(path)};
    }
    claimed.insert(r.files.begin(), r.files.end());
    if (std::all_of(r.empty.begin(), r.empty.end(), [](bool e) { return e; })) {
      for (const std::string& f : r.files) out.odd.push_back({f, "4000 bytes or less, holds no recording"});
      continue;
    }
    out.recordings.push_back(std::move(r));
  }
}

}  // namespace

TreeListing FindRecordings(const std::vector<std::string>& roots) {
  TreeListing out;
  std::set<std::string> folders;
  for (const std::string& root : roots) {
    const std::string absolute = fs::absolute(root).lexically_normal().string();
    std::error_code ec;
    const fs::file_status status = fs::status(absolute, ec);
    if (ec || !fs::exists(status)) {
      out.odd.push_back({root, ec ? ec.message() : "no such file or folder"});
      continue;
    }
    if (!fs::is_directory(status)) {
      folders.insert(fs::path(absolute).parent_path().string());
      continue;
    }
    folders.insert(absolute);
    fs::recursive_directory_iterator it(absolute, fs::directory_options::skip_permission_denied, ec), end;
    if (ec) out.odd.push_back({root, ec.message()});
    for (; !ec && it != end; it.increment(ec)) {
      std::error_code kind;
      if (it->is_directory(kind) && !it->is_symlink(kind)) folders.insert(it->path().string());
    }
    if (ec) out.odd.push_back({root, ec.message()});
  }
  for (const std::string& folder : folders) {
    std::string trimmed = folder;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    GroupFolder(ListAviFiles(trimmed), out);
  }
  // A file root keeps only the recording it belongs to.
  std::set<std::string> fileRoots;
  for (const std::string& root : roots) {
    std::error_code ec;
    const std::string absolute = fs::absolute(root).lexically_normal().string();
    if (fs::is_regular_file(absolute, ec)) fileRoots.insert(absolute);
  }
  if (!fileRoots.empty()) {
    std::set<std::string> folderRoots;
    for (const std::string& root : roots) {
      std::error_code ec;
      const std::string absolute = fs::absolute(root).lexically_normal().string();
      if (fs::is_directory(absolute, ec)) folderRoots.insert(absolute);
    }
    auto wanted = [&](const FoundRecording& r) {
      for (const std::string& f : r.files) {
        if (fileRoots.count(f)) return true;
        for (const std::string& d : folderRoots)
          if (f.rfind(d + "/", 0) == 0) return true;
      }
      return false;
    };
    std::erase_if(out.recordings, [&](const FoundRecording& r) { return !wanted(r); });
  }
  std::sort(
      out.recordings.begin(), out.recordings.end(),
      [](const FoundRecording& a, const FoundRecording& b) { return a.files.front() < b.files.front(); });
  return out;
}

}  // namespace library
