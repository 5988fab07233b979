#include "ui/go_to_controller.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "engine/pipeline/playback_engine.h"
#include "ui/core/status_text.h"
#include "ui/go_to_dialog.h"
#include "ui/message_box.h"

GoToController::GoToController(QWidget& window, QMenu* menu, EngineOf engine, ScanOf scan, Seek seek)
    : QObject(&window),
      window_(window),
      engine_(std::move(engine)),
      scan_(std::move(scan)),
      seek_(std::move(seek)) {
  auto* a = new QAction(tr("Go to Time..."), &window);
  a->setObjectName(QStringLiteral("goToTime"));
  a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  a->setShortcutContext(Qt::WindowShortcut);
  window.addAction(a);
  if (menu) menu->addAction(a);
  connect(a, &QAction::triggered, this, &GoToController::Ask);
}

void GoToController::Ask() {
  PlaybackEngine* e = engine_();
  if (!e) return;
  if (!dialog_) {
    dialog_ = new GoToDialog(&window_);
    connect(dialog_, &QDialog::accepted, this, [this] {
      if (dialog_) GoTo(dialog_->Clock(), dialog_->Text().toStdString());
    });
  }
  // Offered where the user is now, on the clock chosen last time.
  const std::string now = lastClock_ == GoToClock::kTimeline ? FormatClockText(e->GetPositionCentis()) : "";
  dialog_->Preset(lastClock_, QString::fromStdString(now));
  dialog_->open();
}

bool GoToController::GoTo(GoToClock clock, const std::string& text) {
  PlaybackEngine* e = engine_();
  if (!e) return false;
  lastClock_ = clock;
  const GoToTarget t = ResolveGoTo(clock, text, scan_(), e->GetTotal());
  if (!t.ok) {
    ShowPlayerMessage(&window_, t.message);
    return false;
  }
  seek_(t.centis);
  return true;
}
