#include "evidence/bookmarks.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/trip_events.h"
#include "evidence/file_output.h"
#include "evidence/sha256.h"
#include "evidence/track_points.h"
#include "metadata/clock_text.h"

namespace evidence {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStoreHeader = "qmxplayer recording notes 1";
// A store far larger than any examiner's notes is no store of ours.
constexpr std::uintmax_t kMaxStoreBytes = 16 << 20;

std::string DataFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data) return (fs::path(data) / "qmxplayer" / "bookmarks").string();
  const char* home = std::getenv("HOME");
  if (home && *home) return (fs::path(home) / ".local" / "share" / "qmxplayer" / "bookmarks").string();
  return {};
}

// Tabs and line breaks would end the store's fields and lines.
std::string Escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

bool ParseInteger(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0') return false;
  value = v;
  return true;
}

std::vector<std::string> SplitTabs(const std::string& line, std::size_t fields) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (out.size() + 1 < fields) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string::npos) break;
    out.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  out.push_back(line.substr(start));
  return out;
}

std::string CsvText(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string NotesStorePath(const std::vector<std::string>& files) {
  const std::string folder = DataFolder();
  if (files.empty() || folder.empty()) return {};
  std::error_code ec;
  const fs::path path = fs::weakly_canonical(fs::absolute(files.front(), ec), ec);
  struct stat st {};
  if (ec || ::stat(path.c_str(), &st) != 0) return {};
  const std::string identity = path.string() + '\0' + std::to_string(st.st_size) + '\0' +
                               std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec);
  return (fs::path(folder) / (Sha256Hex(identity.data(), identity.size()) + ".txt")).string();
}

RecordingNotes LoadRecordingNotes(const std::vector<std::string>& files) {
  RecordingNotes notes;
  const std::string store = NotesStorePath(files);
  if (store.empty()) return notes;
  std::error_code ec;
  const auto bytes = fs::file_size(store, ec);
  if (ec || bytes > kMaxStoreBytes) return notes;
  std::ifstream in(store, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line) || line != kStoreHeader) return notes;
  while (std::getline(in, line)) {
    const std::vector<std::string> f = SplitTabs(line, 3);
    int64_t a = 0, b = 0;
    if (f.size() == 2 && f[0] == "clock-correction" && ParseInteger(f[1], a)) {
      notes.clockCorrectionMillis = a;
    } else if (f.size() == 3 && ParseInteger(f[0], a) && a >= 0 && ParseInteger(f[1], b)) {
      notes.bookmarks.push_back({a, Unescape(f[2]), b});
    }
  }
  SortBookmarks(notes.bookmarks);
  return notes;
}

std::vector<Bookmark> LoadBookmarks(const std::vector<std::string>& files) {
  return LoadRecordingNotes(files).bookmarks;
}

bool SaveRecordingNotes(const std::vector<std::string>& files, const RecordingNotes& notes,
                        std::string& error) {
  const std::string store = NotesStorePath(files);
  if (store.empty()) return error = "no data folder for the recording's notes", false;
  std::error_code ec;
  if (notes == RecordingNotes{}) {
    fs::remove(store, ec);
    if (ec) return error = store + ": " + ec.message(), false;
    return true;
  }
  fs::create_directories(fs::path(store).parent_path(), ec);
  if (ec) return error = fs::path(store).parent_path().string() + ": " + ec.message(), false;
  std::vector<Bookmark> sorted = notes.bookmarks;
  SortBookmarks(sorted);
  // The first file's path again, for a reader of the folder: the key hides it.
  std::string text = std::string(kStoreHeader) + "\nrecording\t" + Escape(files.front()) + "\n";
  if (notes.clockCorrectionMillis != 0)
    text += "clock-correction\t" + std::to_string(notes.clockCorrectionMillis) + "\n";
  for (const Bookmark& b : sorted)
    text +=
        std::to_string(b.centis) + "\t" + std::to_string(b.addedUtcSeconds) + "\t" + Escape(b.note) + "\n";
  std::string reason;
  if (!WriteWholeFile(store, text, reason)) return error = store + ": " + reason, false;
  return true;
}

std::string ClockCorrectionNote(int64_t correctionMillis) {
  if (correctionMillis == 0) return {};
  return "DVR clock correction " + FormatClockCorrection(correctionMillis) +
         ": add it to the recorded times given here for the true time";
}

void SortBookmarks(std::vector<Bookmark>& bookmarks) {
  std::stable_sort(bookmarks.begin(), bookmarks.end(),
                   [](const Bookmark& a, const Bookmark& b) { return a.centis < b.centis; });
}

std::optional<int64_t> NextBookmark(const std::vector<Bookmark>& bookmarks, int64_t position) {
  std::optional<int64_t> found;
  for (const Bookmark& b : bookmarks)
    if (b.centis > position + kNextEventSlackCentis && (!found || b.centis < *found)) found = b.centis;
  return found;
}

std::optional<int64_t> PreviousBookmark(const std::vector<Bookmark>& bookmarks, int64_t position) {
  std::optional<int64_t> found;
  for (const Bookmark& b : bookmarks)
    if (b.centis < position - kPreviousEventSlackCentis && (!found || b.centis > *found)) found = b.centis;
  return found;
}

std::string FormatPosition(int64_t centis) {
  const long long c = std::max<int64_t>(0, centis);
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld", c / 360000, c / 6000 % 60, c / 100 % 60,
                c % 100);
  return text;
}

std::string FormatBookmarksCsv(const std::vector<Bookmark>& bookmarks) {
  std::vector<Bookmark> sorted = bookmarks;
  SortBookmarks(sorted);
  std::string csv = "position,centis,added,note\r\n";
  for (const Bookmark& b : sorted) {
    const std::string added = b.addedUtcSeconds > 0 ? Iso8601Utc(b.addedUtcSeconds * 1000) : "";
    csv += FormatPosition(b.centis) + "," + std::to_string(b.centis) + "," + added + "," + CsvText(b.note) +
           "\r\n";
  }
  return csv;
}

std::optional<int> WritePackageBookmarks(const std::string& folder, const std::vector<std::string>& files,
                                         int64_t fromCentis, int64_t toCentis, std::string& error) {
  std::vector<Bookmark> inRange;
  for (const Bookmark& b : LoadBookmarks(files))
    if (b.centis >= fromCentis && b.centis <= toCentis) inRange.push_back(b);
  std::string reason;
  if (!WriteWholeFile(folder + "/" + kPackageBookmarksName, FormatBookmarksCsv(inRange), reason)) {
    error = std::string(kPackageBookmarksName) + ": " + reason;
    return std::nullopt;
  }
  return int(inRange.size());
}

}  // namespace evidence
