#pragma once

#include <functional>
#include <string>
#include <vector>

// File > Open Recent and the folder the file dialogs start in. The list
// lives in the user's settings ("Recent1".."Recent10", newest first), never
// next to a recording; the folder is the open recording's, else the last
// one a recording was opened from ("LastFolder").

inline constexpr int kRecentFileCount = 10;

// `list` with `path` put first (once), at most kRecentFileCount long.
std::vector<std::string> WithRecentFile(std::vector<std::string> list, const std::string& path);
// `list` without the entries `exists` says are gone.
std::vector<std::string> WithoutMissing(std::vector<std::string> list,
                                        const std::function<bool(const std::string&)>& exists);

// The stored list, newest first, and storing one.
std::vector<std::string> LoadRecentFiles();
void SaveRecentFiles(const std::vector<std::string>& list);

// Notes a recording that opened: first in the list, its folder the last used.
void NoteOpenedRecording(const std::string& path);
// The open recording's folder (`currentPath` may be empty), else the last
// used folder, else "" (the dialog's own choice).
std::string DialogStartFolder(const std::string& currentPath);
