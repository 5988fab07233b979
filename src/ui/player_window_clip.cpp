// The main window's clip extraction window and two-channel conversion.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "engine/pipeline/playback_engine.h"
#include "metadata/trigger_names.h"
#include "ui/clip_extract_dialog.h"
#include "ui/convert_dialog.h"
#include "ui/core/commands.h"
#include "ui/core/window_controls.h"
#include "ui/player_window.h"

void CQMXPlayerDlg::ClipDialogDeleter::operator()(CVideoClipExtractDlg* dialog) const {
  delete dialog;
}

void CQMXPlayerDlg::ToggleClipDialog() {
  if (clipDialog_ && !clipDialog_->isVisible()) {
    clipDialog_.reset();
    SetButtonChecked(kClipButton, false);
  }
  if (clipDialog_) {
    clipDialog_.reset();
    SetButtonChecked(kClipButton, false);
    return;
  }
  if (!playback_) {
    SetButtonChecked(kClipButton, false);
    return;
  }
  std::vector<clip::ClipSourceFile> files;
  for (const SequenceFile& f : playback_->Files()) files.push_back({f.path, f.videoStreams, f.start, f.end});
  const int64_t position = int64_t(playback_->GetPosition() * double(playback_->GetTotal()) / 1000);
  const std::shared_ptr<const TriggerNameList> names = TriggerNames();
  // The properties are the engine's copy; reading them takes its lock briefly.
  clipDialog_.reset(new CVideoClipExtractDlg(std::move(files), position, dvrKind_ == 0,
                                             std::vector<std::string>(names->begin(), names->end()),
                                             playback_->Properties().dvrTitle));
  clipDialog_->show();
  SetButtonChecked(kClipButton, true);
}

void CQMXPlayerDlg::TickClipDialog() {
  if (!clipDialog_) return;
  if (!clipDialog_->IsOpen()) {
    clipDialog_.reset();
    SetButtonChecked(kClipButton, false);
    return;
  }
  if (playback_)
    clipDialog_->SetCurrentPosition(int64_t(playback_->GetPosition() * double(playback_->GetTotal()) / 1000));
}

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
