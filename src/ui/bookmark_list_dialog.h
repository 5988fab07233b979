#pragma once

#include <QDialog>

class BookmarkController;
class QTreeWidget;

// The Bookmarks list: every bookmark of the open recording with its position
// and note; Go To (or a double-click) shows its time, Edit Note changes the
// note, Delete removes it. Each change is kept at once.
class BookmarkListDialog : public QDialog {
  Q_OBJECT
 public:
  BookmarkListDialog(BookmarkController& bookmarks, QWidget* parent);

  QTreeWidget* List() const { return list_; }
  void GoToSelected();
  void EditSelected();
  void DeleteSelected();

 private:
  void Fill(int select);
  int Selected() const;

  BookmarkController& bookmarks_;
  QTreeWidget* list_ = nullptr;
};
