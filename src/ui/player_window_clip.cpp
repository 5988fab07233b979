// The main window's two-channel conversion.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/convert_dialog.h"
#include "ui/core/commands.h"
#include "ui/player_window.h"

void CQMXPlayerDlg::ShowConversion() {
  CConvertDlg dialog(this);
  dialog.exec();
}

void CQMXPlayerDlg::AddConversionMenuEntry() {
  // The command has no item of its own in the menu table; it gets one in the
  // File menu, right after Extract Video Clip, always available.
  QAction* extract = Action(kCmdExtractClip);
  for (QAction* popup : menuBar()->actions()) {
    QMenu* menu = popup->menu();
    if (!menu || !extract || !menu->actions().contains(extract)) continue;
    const QList<QAction*> items = menu->actions();
    const qsizetype at = items.indexOf(extract) + 1;
    auto* convert = new QAction("Con&vert 2 Channel Recordings...", menu);
    convert->setObjectName(QStringLiteral("command%1").arg(kCmdConvert));
    menu->insertAction(at < items.size() ? items[at] : nullptr, convert);
    connect(convert, &QAction::triggered, this, [this] { RunCommand(kCmdConvert); });
    actions_[kCmdConvert] = convert;
  }
}
