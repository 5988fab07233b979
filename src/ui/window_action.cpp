#include "ui/window_action.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

QAction* AddWindowAction(QWidget& window, QMenu* menu, const char* name, const QString& text,
                         const QKeySequence& key) {
  auto* a = new QAction(text, &window);
  a->setObjectName(QString::fromUtf8(name));
  if (!key.isEmpty()) {
    a->setShortcut(key);
    // Full screen hides the menu bar; the keys keep working.
    a->setShortcutContext(Qt::WindowShortcut);
    window.addAction(a);
  }
  if (menu) menu->addAction(a);
  return a;
}
