#pragma once

#include <QObject>
#include <QPoint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "evidence/bookmarks.h"

class QAction;
class QMenu;
class QWidget;
class TimelineStrip;

// The window's bookmarks: Add Bookmark (B) at the current time with a note,
// the Bookmarks list (Ctrl+B: go to, edit, delete), Next and Previous
// Bookmark (Ctrl+Shift+Right / Left), the ticks on the incident timeline and
// its context menu. The bookmarks are the open recording's, kept in the
// user's data folder (evidence/bookmarks.h) and saved at every change; the
// controller reads them again whenever the window's recording changes.
//
// Threads: the window thread only.
class BookmarkController : public QObject {
  Q_OBJECT
 public:
  // The files of the recording shown (its first file first), empty when none.
  using FilesOf = std::function<std::vector<std::string>()>;
  // The position shown, hundredths of a second.
  using PositionOf = std::function<int64_t()>;
  using SeekTo = std::function<void(int64_t centis)>;
  // The shortcuts are `window`'s; the items go at the end of `menu` (none
  // when null).
  BookmarkController(QWidget& window, QMenu* menu, TimelineStrip& timeline, FilesOf files,
                     PositionOf position, SeekTo seek);

  // Asks for a note and adds a bookmark at `centis` (the current position
  // when none is given).
  void AddWithNote(std::optional<int64_t> centis = std::nullopt);
  // Adds without asking; false (and a message) when it could not be kept.
  bool Add(int64_t centis, const std::string& note);
  bool SetNote(std::size_t index, const std::string& note);
  bool Remove(std::size_t index);
  void GoTo(std::size_t index);
  void Next();
  void Previous();
  void ShowList();

  // The open recording's bookmarks, in position order.
  const std::vector<evidence::Bookmark>& Bookmarks();
  // Reads the bookmarks of the recording now shown (after an open or a close).
  void Reload();

 private:
  bool Save();
  void ShowContextMenu(qint64 centis, QPoint where);
  void UpdateActions();

  QWidget& window_;
  TimelineStrip& timeline_;
  FilesOf files_;
  PositionOf position_;
  SeekTo seek_;
  std::vector<std::string> loadedFiles_;
  std::vector<evidence::Bookmark> bookmarks_;
  std::vector<QAction*> needRecording_, needBookmarks_;
};
