#pragma once

// An examiner's notes about a recording: bookmarks (a position on the
// recording's timeline with a note) and the correction of the recorder's
// clock. They are kept in the user's data folder, never beside the
// recording, one store file per recording:
//   $XDG_DATA_HOME/qmxplayer/bookmarks/KEY.txt (or ~/.local/share/...)
// KEY is the SHA-256 of the first file's absolute path (links resolved), its
// size and its modification time: the timeline's positions count from that
// file, and the window and the command-line modes may list the later files
// of the run differently. A recording copied elsewhere starts without notes.
//
// Plain C++, any thread; the store file is replaced whole on every save, so
// a crash or a full disk leaves the notes of the last save.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace evidence {

struct Bookmark {
  int64_t centis = 0;           // position on the recording's timeline, hundredths of a second
  std::string note;             // UTF-8, line breaks allowed
  int64_t addedUtcSeconds = 0;  // when it was made, by this computer's clock; 0 unknown
  bool operator==(const Bookmark&) const = default;
};

struct RecordingNotes {
  std::vector<Bookmark> bookmarks;  // in position order
  // What the examiner adds to the recorder's clock to get the true time
  // (milliseconds, may be negative). Shown and stated beside the recorded
  // times, never instead of them.
  int64_t clockCorrectionMillis = 0;
  bool operator==(const RecordingNotes&) const = default;
};

// The store file of the recording made of `files` (its first file counts);
// "" when there are no files, the first can't be examined or there is no
// data folder (neither XDG_DATA_HOME nor HOME).
std::string NotesStorePath(const std::vector<std::string>& files);

// The notes kept for the recording; empty notes when none were kept. Lines
// of the store that don't read are left out.
RecordingNotes LoadRecordingNotes(const std::vector<std::string>& files);
std::vector<Bookmark> LoadBookmarks(const std::vector<std::string>& files);

// Keeps `notes` for the recording (bookmarks sorted by position); empty
// notes remove the store file. False with the reason in `error`.
bool SaveRecordingNotes(const std::vector<std::string>& files, const RecordingNotes& notes,
                        std::string& error);

// What an export says of a correction: "DVR clock correction +0:02:13: add it
// to the recorded times given here for the true time"; "" for none.
std::string ClockCorrectionNote(int64_t correctionMillis);

// Sorted by position; bookmarks of the same position keep their order.
void SortBookmarks(std::vector<Bookmark>& bookmarks);

// Where Next Bookmark and Previous Bookmark go from `position` (the same
// slack as the event jumps: a seek that lands a frame short, or a press just
// after a jump, goes on to the next one).
std::optional<int64_t> NextBookmark(const std::vector<Bookmark>& bookmarks, int64_t position);
std::optional<int64_t> PreviousBookmark(const std::vector<Bookmark>& bookmarks, int64_t position);

// "h:mm:ss.ff" of a position ("0:01:05.20").
std::string FormatPosition(int64_t centis);

// The bookmarks as CSV (RFC 4180, CRLF, UTF-8): a header row, then
// position (h:mm:ss.ff), centis, added (ISO 8601 UTC, empty when unknown),
// note; in position order.
std::string FormatBookmarksCsv(const std::vector<Bookmark>& bookmarks);

// The name of the bookmarks in an evidence package.
inline constexpr const char* kPackageBookmarksName = "bookmarks.csv";

// Writes folder/bookmarks.csv with the recording's bookmarks of the
// package's range [fromCentis, toCentis] (the header alone when it has
// none). Returns how many were written, or nothing with the reason in
// `error` when the file can't be written.
std::optional<int> WritePackageBookmarks(const std::string& folder, const std::vector<std::string>& files,
                                         int64_t fromCentis, int64_t toCentis, std::string& error);

}  // namespace evidence
