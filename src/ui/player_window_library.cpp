// The window's fleet library: File > Library..., after Open Stream. The
// dialog searches and indexes on the controller's worker thread; a chosen
// result opens its recording here at the result's position.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "base/settings.h"
#include "ui/core/commands.h"
#include "ui/library_controller.h"
#include "ui/library_dialog.h"
#include "ui/player_window.h"

void CQMXPlayerDlg::AddLibraryCommand() {
  QAction* stream = Action(kCmdOpenStream);
  for (QAction* popup : menuBar()->actions()) {
    QMenu* menu = popup->menu();
    if (!menu || !stream || !menu->actions().contains(stream)) continue;
    const QList<QAction*> items = menu->actions();
    const qsizetype at = items.indexOf(stream) + 1;
    QAction* library = new QAction(QStringLiteral("Library..."), menu);
    library->setObjectName(QStringLiteral("library"));
    menu->insertAction(at < items.size() ? items[at] : nullptr, library);
    connect(library, &QAction::triggered, this, [this] { LibraryCommand(); });
  }
}

void CQMXPlayerDlg::LibraryCommand() {
  if (!libraryDialog_) {
    // The library of the settings (an SQLite file or a postgresql:// URL), else the default one.
    auto* controller = new LibraryController(ReadSetting("LibraryDatabase"), this);
    libraryDialog_ = new LibraryDialog(*controller, this);
    controller->setParent(libraryDialog_);  // goes with the dialog, after it
    connect(libraryDialog_, &LibraryDialog::OpenRequested, this, [this](const QString& path, qint64 centis) {
      OpenRecording(path.toStdString());
      auto toPosition = [this, centis] {
        if (Engine()) GoToCentis(centis);
      };
      if (IsOpening())
        connect(this, &CQMXPlayerDlg::OpenFinished, this, toPosition, Qt::SingleShotConnection);
      else
        toPosition();
    });
  }
  libraryDialog_->show();
  libraryDialog_->raise();
}
