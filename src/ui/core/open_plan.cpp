#include "ui/core/open_plan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "base/titles.h"
#include "ui/core/file_order.h"
#include "ui/core/group_discovery.h"

namespace {

constexpr int kLastSequenceNumber = 998;

bool Usable(FileProbe& probe, const std::string& path) {
  const std::optional<uint64_t> size = probe.OpenedSize(path);
  return size && *size > kEmptyFileBytes;
}

// The number in the chosen file's "NNN.avi" tail, leading zeros and all;
// digits end at the first other character.
int StartNumber(const std::string& path) {
  const std::string name = FileNameOf(path);
  const size_t from = name.size() >= 7 ? name.size() - 7 : 0;
  int number = 0;
  for (size_t i = from; i < from + 3 && i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') break;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

OpenPlan PlanNumbered(const std::string& path, OpenMode mode, const std::string& brand, FileProbe& probe) {
  OpenPlan plan;
  std::string stem = path.substr(0, path.size() - 8);
  if (!stem.empty() && stem.back() == '#') stem.pop_back();
  const int start = mode == OpenMode::kFromThisFile ? StartNumber(path) : 1;
  std::string first, last;
  for (int n = start; n <= kLastSequenceNumber; ++n) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "-%03d.avi", n);
    std::string candidate = stem + tail;
    if (!probe.Exists(candidate)) {
      candidate = stem + "#" + tail;
      if (!probe.Exists(candidate)) {
        if (first.empty()) continue;  // numbers before the first file are skipped
        break;                        // the first gap ends the sequence
      }
    }
    if (first.empty()) first = candidate;
    last = candidate;
    if (Usable(probe, candidate)) plan.files.push_back(candidate);
  }
  if (first.empty()) {
    plan.title = MainWindowTitle(brand);
    return plan;
  }
  const std::string firstName = FileNameOf(first), lastName = FileNameOf(last);
  plan.displayName = firstName;
  plan.title = FileWindowTitle(brand, firstName);
  if (lastName != firstName) {
    plan.title = SequenceWindowTitle(brand, firstName, lastName);
    plan.displayName += " ... " + lastName;
  }
  return plan;
}

OpenPlan PlanGroup(const std::string& path, OpenMode mode, const std::string& brand, const FileGroup& group,
                   FileProbe& probe) {
  OpenPlan plan;
  // "All Files" plays a grouped file's whole group, as "Sequences of AVI
  // Files" does, instead of handing the engine an empty list.
  if (mode == OpenMode::kAllFiles) mode = OpenMode::kSequences;
  const bool fromThis = mode == OpenMode::kFromThisFile;
  const bool chosenOnly = mode == OpenMode::kSingleFile || fromThis;
  bool adding = false;
  auto add = [&](const std::string& file) {
    if (Usable(probe, file)) plan.files.push_back(file);
  };
  if (mode == OpenMode::kSequences) {
    add(group.name);
    adding = true;
  } else if (chosenOnly && group.name == path) {
    add(group.name);
    adding = fromThis;
  }
  for (const std::string& file : group.files) {
    if (adding || (chosenOnly && file == path)) {
      add(file);
      if (fromThis) adding = true;
    }
  }
  const std::string baseName = FileNameOf(group.name);
  const std::string lastName = group.files.empty() ? baseName : FileNameOf(group.files.back());
  plan.title = GroupWindowTitle(brand, baseName, lastName);
  plan.displayName = baseName + " ... " + lastName;
  return plan;
}

}  // namespace

bool IsNumberedPath(const std::string& path, OpenMode mode) {
  return mode != OpenMode::kSingleFile && path.size() >= 8 && path[path.size() - 8] == '-';
}

OpenPlan PlanOpen(const std::string& path, OpenMode mode, const std::string& brand, FileProbe& probe) {
  if (IsNumberedPath(path, mode)) return PlanNumbered(path, mode, brand, probe);

  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
  const DiscoveredFiles found = DiscoverGroups(probe.ListAviFiles(folder));
  if (const FileGroup* group = FindGroupOf(found, path)) return PlanGroup(path, mode, brand, *group, probe);

  OpenPlan plan;
  const std::string name = FileNameOf(path);
  plan.title = FileWindowTitle(brand, name);
  plan.displayName = name;
  if (const std::optional<uint64_t> size = probe.OpenedSize(path)) {
    if (*size <= kEmptyFileBytes) {
      plan.emptySingleFile = true;
      plan.title.clear();
    } else {
      plan.files.push_back(path);
    }
  }
  return plan;
}

bool DiskFileProbe::Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::optional<uint64_t> DiskFileProbe::OpenedSize(const std::string& path) {
  // A missing or forbidden file fails for good at once; only a transient
  // failure (out of descriptors, interrupted) is worth a few short retries.
  constexpr int kAttempts = 5;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      struct stat st {};
      const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
      ::close(fd);
      if (!ok) return std::nullopt;
      return static_cast<uint64_t>(st.st_size);
    }
    if (errno != EINTR && errno != EMFILE && errno != ENFILE && errno != EAGAIN) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

std::vector<std::string> DiskFileProbe::ListAviFiles(const std::string& folder) {
  return ::ListAviFiles(folder);
}
