// File > Open Recent: the last recordings opened, newest first; entries
// whose file is gone are dropped when the menu opens.
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include "ui/core/commands.h"
#include "ui/core/recent_files.h"
#include "ui/player_window.h"

void CQMXPlayerDlg::AddRecentMenu() {
  QAction* openStream = Action(kCmdOpenStream);
  for (QAction* popup : menuBar()->actions()) {
    QMenu* file = popup->menu();
    if (!file || !openStream || !file->actions().contains(openStream)) continue;
    const QList<QAction*> items = file->actions();
    const qsizetype at = items.indexOf(openStream) + 1;
    recentMenu_ = new QMenu(QStringLiteral("Open &Recent"), file);
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    file->insertMenu(at < items.size() ? items[at] : nullptr, recentMenu_);
    connect(recentMenu_, &QMenu::aboutToShow, this, &CQMXPlayerDlg::FillRecentMenu);
  }
  FillRecentMenu();
}

void CQMXPlayerDlg::FillRecentMenu() {
  if (!recentMenu_) return;
  const std::vector<std::string> stored = LoadRecentFiles();
  const std::vector<std::string> list = WithoutMissing(stored, [](const std::string& p) {
    std::error_code ec;
    return std::filesystem::exists(p, ec);
  });
  if (list != stored) SaveRecentFiles(list);
  recentMenu_->clear();
  for (std::size_t k = 0; k < list.size(); ++k) {
    const QString path = QString::fromStdString(list[k]);
    // "&1 name" ... "1&0 name": a mnemonic each.
    const QString number = k < 9 ? QStringLiteral("&%1").arg(k + 1) : QStringLiteral("1&0");
    QAction* a = recentMenu_->addAction(number + QLatin1Char(' ') + QFileInfo(path).fileName());
    a->setToolTip(path);
    a->setData(path);
    connect(a, &QAction::triggered, this, [this, p = list[k]] { OpenRecording(p); });
  }
  recentMenu_->setEnabled(!list.empty());
}
