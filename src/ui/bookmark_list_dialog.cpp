#include "ui/bookmark_list_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/bookmark_controller.h"

BookmarkListDialog::BookmarkListDialog(BookmarkController& bookmarks, QWidget* parent)
    : QDialog(parent), bookmarks_(bookmarks) {
  setObjectName(QStringLiteral("bookmarkList"));
  setWindowTitle(tr("Bookmarks"));
  list_ = new QTreeWidget(this);
  list_->setHeaderLabels({tr("Position"), tr("Note")});
  list_->setRootIsDecorated(false);
  list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &BookmarkListDialog::GoToSelected);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  auto add = [&](const QString& text, const char* name, void (BookmarkListDialog::*slot)()) {
    QPushButton* b = buttons->addButton(text, QDialogButtonBox::ActionRole);
    b->setObjectName(QString::fromUtf8(name));
    connect(b, &QPushButton::clicked, this, slot);
  };
  add(tr("&Go To"), "goTo", &BookmarkListDialog::GoToSelected);
  add(tr("&Edit Note..."), "editNote", &BookmarkListDialog::EditSelected);
  add(tr("&Delete"), "delete", &BookmarkListDialog::DeleteSelected);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(buttons);
  resize(520, 320);
  Fill(0);
}

void BookmarkListDialog::Fill(int select) {
  list_->clear();
  for (const evidence::Bookmark& b : bookmarks_.Bookmarks()) {
    // One line per note in the list; the editor shows the whole text.
    QString note = QString::fromStdString(b.note);
    note.replace(QLatin1Char('\n'), QStringLiteral(" / "));
    new QTreeWidgetItem(list_, {QString::fromStdString(evidence::FormatPosition(b.centis)), note});
  }
  if (list_->topLevelItemCount() > 0)
    list_->setCurrentItem(list_->topLevelItem(std::clamp(select, 0, list_->topLevelItemCount() - 1)));
}

int BookmarkListDialog::Selected() const {
  return list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : -1;
}

void BookmarkListDialog::GoToSelected() {
  if (const int i = Selected(); i >= 0) bookmarks_.GoTo(std::size_t(i));
}

void BookmarkListDialog::EditSelected() {
  const int i = Selected();
  if (i < 0) return;
  bool ok = false;
  const QString note = QInputDialog::getMultiLineText(
      this, tr("Edit Note"), tr("Note:"), QString::fromStdString(bookmarks_.Bookmarks()[std::size_t(i)].note),
      &ok);
  if (!ok) return;
  bookmarks_.SetNote(std::size_t(i), note.toStdString());
  Fill(i);
}

void BookmarkListDialog::DeleteSelected() {
  const int i = Selected();
  if (i < 0) return;
  bookmarks_.Remove(std::size_t(i));
  Fill(i);
}
