#pragma once

#include <QKeySequence>
#include <QString>

class QAction;
class QMenu;
class QWidget;

// A command of a window's controller: an action named `name` (tests find
// it by that) with shortcut `key` (none when empty) that works whether or
// not the menu bar is shown, added at the end of `menu` when there is one.
// The action is the window's child.
QAction* AddWindowAction(QWidget& window, QMenu* menu, const char* name, const QString& text,
                         const QKeySequence& key = {});
