#include "evidence/staged_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace evidence {
namespace {

namespace fs = std::filesystem;

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

// The names in `folder` but "." and "..". False with errno's text in `error`.
bool FolderNames(const std::string& folder, std::vector<std::string>& names, std::string& error) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return error = std::strerror(errno), false;
  errno = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  if (errno != 0) return error = std::strerror(errno), false;
  return true;
}

// rename(2) that never replaces what is already at `to`: a package must
// not take the place of a file or folder someone else made meanwhile.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: the check and the rename are two steps.
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) return errno = EEXIST, false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

// Flushes `path` (a file or a folder) to the disk: a file system that
// allots space late reports a full disk here, not at the write.
bool Sync(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return error = std::strerror(errno), false;
  const bool ok = ::fsync(fd) == 0;
  if (!ok) error = std::strerror(errno);
  ::close(fd);
  return ok;
}

// The mode a plain mkdir gives a folder: 0777 less the process's umask,
// read without changing it (umask(2) would, for every thread at once).
mode_t FolderMode() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return mode_t(0777 & ~std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 0755;
}

}  // namespace

StagedFolder::StagedFolder(std::string target) : target_(std::move(target)) {
  fs::path where = fs::path(target_).lexically_normal();
  if (where.filename().empty()) where = where.parent_path();  // "out/" names "out"
  struct stat st {};
  std::string pattern;
  if (::lstat(where.c_str(), &st) == 0) {
    std::vector<std::string> names;
    if (::stat(where.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      error_ = "is not an empty folder";
      return;
    }
    if (!FolderNames(where.string(), names, error_)) return;
    if (!names.empty()) {
      error_ = "is not an empty folder";
      return;
    }
    existing_ = true;
    pattern = (where / ".package-XXXXXX").string();
  } else if (errno == ENOENT) {
    const fs::path parent = where.has_parent_path() ? where.parent_path() : fs::path(".");
    std::vector<std::string> missing;
    for (fs::path p = parent; !p.empty() && ::lstat(p.c_str(), &st) != 0 && errno == ENOENT;
         p = p.parent_path()) {
      missing.insert(missing.begin(), p.string());
      if (p == p.parent_path()) break;
    }
    for (const std::string& p : missing) {
      if (::mkdir(p.c_str(), 0777) != 0) {
        error_ = std::strerror(errno);
        return;
      }
      madeParents_.push_back(p);
    }
    pattern = (parent / ("." + where.filename().string() + ".XXXXXX")).string();
  } else {
    error_ = std::strerror(errno);
    return;
  }
  if (!::mkdtemp(pattern.data())) {
    error_ = std::strerror(errno);
    return;
  }
  target_ = where.string();
  path_ = pattern;
}

StagedFolder::~StagedFolder() {
  if (committed_) return;
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
  for (auto p = madeParents_.rbegin(); p != madeParents_.rend(); ++p) ::rmdir(p->c_str());
}

bool StagedFolder::Commit(std::string& error) {
  if (path_.empty()) return error = error_, false;
  std::vector<std::string> names, moved;
  if (!FolderNames(path_, names, error)) return false;
  for (const std::string& name : names) {
    if (!Sync(path_ + "/" + name, error)) return error = name + ": " + error, false;
  }
  if (!Sync(path_, error)) return false;
  std::string ignored;
  if (!existing_) {
    if (::chmod(path_.c_str(), FolderMode()) != 0 || !RenameWithoutReplacing(path_, target_))
      return error = std::strerror(errno), false;
    committed_ = true;
    const fs::path parent = fs::path(target_).parent_path();
    Sync(parent.empty() ? "." : parent.string(), ignored);  // the new name, kept over a crash
    return true;
  }
  for (const std::string& name : names) {
    if (!RenameWithoutReplacing(path_ + "/" + name, target_ + "/" + name)) {
      error = name + ": " + std::strerror(errno);
      // Back out: the target holds what it held before.
      for (const std::string& m : moved) ::rename((target_ + "/" + m).c_str(), (path_ + "/" + m).c_str());
      return false;
    }
    moved.push_back(name);
  }
  ::rmdir(path_.c_str());
  committed_ = true;
  Sync(target_, ignored);
  return true;
}

}  // namespace evidence
