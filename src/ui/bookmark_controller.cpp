#include "ui/bookmark_controller.h"

#include <QAction>
#include <QInputDialog>
#include <QMenu>
#include <QWidget>
#include <ctime>

#include "ui/bookmark_list_dialog.h"
#include "ui/message_box.h"
#include "ui/timeline_strip.h"

namespace {

QAction* AddShortcut(QWidget& window, QMenu* menu, const char* name, const QString& text,
                     const QKeySequence& key) {
  auto* a = new QAction(text, &window);
  a->setObjectName(QString::fromUtf8(name));
  a->setShortcut(key);
  a->setShortcutContext(Qt::WindowShortcut);
  window.addAction(a);  // works with the menu bar hidden too
  if (menu) menu->addAction(a);
  return a;
}

}  // namespace

BookmarkController::BookmarkController(QWidget& window, QMenu* menu, TimelineStrip& timeline, FilesOf files,
                                       PositionOf position, SeekTo seek)
    : QObject(&window),
      window_(window),
      timeline_(timeline),
      files_(std::move(files)),
      position_(std::move(position)),
      seek_(std::move(seek)) {
  if (menu) menu->addSeparator();
  QAction* add = AddShortcut(window, menu, "addBookmark", tr("Add Bookmark..."), QKeySequence(Qt::Key_B));
  connect(add, &QAction::triggered, this, [this] { AddWithNote(); });
  QAction* list = AddShortcut(window, menu, "bookmarkList", tr("Bookmarks..."), QKeySequence(tr("Ctrl+B")));
  connect(list, &QAction::triggered, this, &BookmarkController::ShowList);
  QAction* next =
      AddShortcut(window, menu, "nextBookmark", tr("Next Bookmark"), QKeySequence(tr("Ctrl+Shift+Right")));
  connect(next, &QAction::triggered, this, &BookmarkController::Next);
  QAction* previous = AddShortcut(window, menu, "previousBookmark", tr("Previous Bookmark"),
                                  QKeySequence(tr("Ctrl+Shift+Left")));
  connect(previous, &QAction::triggered, this, &BookmarkController::Previous);
  needRecording_ = {add, list};
  needBookmarks_ = {next, previous};
  if (menu) connect(menu, &QMenu::aboutToShow, this, &BookmarkController::UpdateActions);
  connect(&timeline, &TimelineStrip::ContextMenuRequested, this, &BookmarkController::ShowContextMenu);
  UpdateActions();
}

const std::vector<evidence::Bookmark>& BookmarkController::Bookmarks() {
  if (files_() != loadedFiles_) Reload();
  return bookmarks_;
}

void BookmarkController::Reload() {
  loadedFiles_ = files_();
  bookmarks_ =
      loadedFiles_.empty() ? std::vector<evidence::Bookmark>() : evidence::LoadBookmarks(loadedFiles_);
  std::vector<int64_t> ticks;
  for (const evidence::Bookmark& b : bookmarks_) ticks.push_back(b.centis);
  timeline_.SetBookmarks(std::move(ticks));
  UpdateActions();
}

bool BookmarkController::Save() {
  // The store also holds the clock correction: keep what it has now.
  evidence::RecordingNotes notes = evidence::LoadRecordingNotes(loadedFiles_);
  notes.bookmarks = bookmarks_;
  std::string error;
  const bool saved = evidence::SaveRecordingNotes(loadedFiles_, notes, error);
  if (!saved) ShowPlayerFailure(&window_, "The bookmarks could not be saved.", error);
  Reload();  // what the store holds now, saved or not
  return saved;
}

void BookmarkController::AddWithNote(std::optional<int64_t> centis) {
  if (files_().empty()) return;
  const int64_t at = centis.value_or(position_());
  bool ok = false;
  const QString note = QInputDialog::getMultiLineText(
      &window_, tr("Add Bookmark"),
      tr("Note for the bookmark at %1:").arg(QString::fromStdString(evidence::FormatPosition(at))), {}, &ok);
  if (ok) Add(at, note.toStdString());
}

bool BookmarkController::Add(int64_t centis, const std::string& note) {
  Bookmarks();
  if (loadedFiles_.empty()) return false;
  bookmarks_.push_back({std::max<int64_t>(0, centis), note, int64_t(std::time(nullptr))});
  return Save();
}

bool BookmarkController::SetNote(std::size_t index, const std::string& note) {
  if (index >= Bookmarks().size()) return false;
  bookmarks_[index].note = note;
  return Save();
}

bool BookmarkController::Remove(std::size_t index) {
  if (index >= Bookmarks().size()) return false;
  bookmarks_.erase(bookmarks_.begin() + std::ptrdiff_t(index));
  return Save();
}

void BookmarkController::GoTo(std::size_t index) {
  if (index < Bookmarks().size()) seek_(bookmarks_[index].centis);
}

void BookmarkController::Next() {
  if (const std::optional<int64_t> to = evidence::NextBookmark(Bookmarks(), position_())) seek_(*to);
}

void BookmarkController::Previous() {
  if (const std::optional<int64_t> to = evidence::PreviousBookmark(Bookmarks(), position_())) seek_(*to);
}

void BookmarkController::ShowList() {
  if (files_().empty()) return;
  BookmarkListDialog dialog(*this, &window_);
  dialog.exec();
}

void BookmarkController::ShowContextMenu(qint64 centis, QPoint where) {
  if (files_().empty()) return;
  QMenu menu(&window_);
  menu.setObjectName(QStringLiteral("timelineMenu"));
  const QString at = QString::fromStdString(evidence::FormatPosition(centis));
  connect(menu.addAction(tr("Add Bookmark at %1...").arg(at)), &QAction::triggered, this,
          [this, centis] { AddWithNote(centis); });
  connect(menu.addAction(tr("Bookmarks...")), &QAction::triggered, this, &BookmarkController::ShowList);
  menu.exec(where);
}

void BookmarkController::UpdateActions() {
  const bool open = !files_().empty();
  for (QAction* a : needRecording_) a->setEnabled(open);
  for (QAction* a : needBookmarks_) a->setEnabled(open && !Bookmarks().empty());
}
