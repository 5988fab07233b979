#include "ui/core/recent_files.h"

#include <algorithm>
#include <filesystem>

#include "base/settings.h"

namespace {

std::string RecentSettingName(int k) {
  return "Recent" + std::to_string(k + 1);
}

std::string FolderOf(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? std::string() : absolute.parent_path().string();
}

}  // namespace

std::vector<std::string> WithRecentFile(std::vector<std::string> list, const std::string& path) {
  if (path.empty()) return list;
  std::erase(list, path);
  list.insert(list.begin(), path);
  if (list.size() > std::size_t(kRecentFileCount)) list.resize(kRecentFileCount);
  return list;
}

std::vector<std::string> WithoutMissing(std::vector<std::string> list,
                                        const std::function<bool(const std::string&)>& exists) {
  std::erase_if(list, [&](const std::string& p) { return !exists(p); });
  return list;
}

std::vector<std::string> LoadRecentFiles() {
  std::vector<std::string> list;
  for (int k = 0; k < kRecentFileCount; ++k)
    if (std::string p = ReadSetting(RecentSettingName(k)); !p.empty()) list.push_back(std::move(p));
  return list;
}

void SaveRecentFiles(const std::vector<std::string>& list) {
  for (int k = 0; k < kRecentFileCount; ++k)
    WriteSetting(RecentSettingName(k), k < int(list.size()) ? list[std::size_t(k)] : std::string());
}

void NoteOpenedRecording(const std::string& path) {
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
  if (ec) return;
  SaveRecentFiles(WithRecentFile(LoadRecentFiles(), absolute));
  WriteSetting("LastFolder", FolderOf(absolute));
}

std::string DialogStartFolder(const std::string& currentPath) {
  std::error_code ec;
  if (!currentPath.empty()) {
    const std::string folder = FolderOf(currentPath);
    if (!folder.empty() && std::filesystem::is_directory(folder, ec)) return folder;
  }
  const std::string last = ReadSetting("LastFolder");
  return !last.empty() && std::filesystem::is_directory(last, ec) ? last : std::string();
}
