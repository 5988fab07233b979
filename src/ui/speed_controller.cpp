#include "ui/speed_controller.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

#include "engine/pipeline/playback_engine.h"
#include "engine/pipeline/playback_rate.h"

namespace {

QAction* AddShortcut(QWidget& window, QMenu* menu, const char* name, const QString& text,
                     const QKeySequence& key) {
  auto* a = new QAction(text, &window);
  a->setObjectName(QString::fromUtf8(name));
  a->setShortcut(key);
  // Reached from the keyboard whether or not the menu bar is shown.
  a->setShortcutContext(Qt::WindowShortcut);
  window.addAction(a);
  if (menu) menu->addAction(a);
  return a;
}

}  // namespace

SpeedController::SpeedController(QWidget& window, QMenu* menu, EngineOf engine)
    : QObject(&window), engine_(std::move(engine)) {
  QMenu* speed = menu ? menu->addMenu(tr("Speed")) : nullptr;
  if (speed) speed->setObjectName(QStringLiteral("speedMenu"));
  auto* group = new QActionGroup(this);
  for (int i = 0; i < kRateSteps; ++i) {
    const double rate = RateAtStep(i);
    auto* a = new QAction(QString::fromStdString(RateText(rate)), this);
    a->setObjectName(QStringLiteral("speed%1").arg(i));
    a->setCheckable(true);
    group->addAction(a);
    connect(a, &QAction::triggered, this, [this, rate] { SetRate(rate); });
    if (speed) speed->addAction(a);
    rates_[size_t(i)] = a;
  }
  if (speed) speed->addSeparator();
  connect(AddShortcut(window, speed, "speedSlower", tr("Slower"), QKeySequence(Qt::Key_BracketLeft)),
          &QAction::triggered, this, &SpeedController::Slower);
  connect(AddShortcut(window, speed, "speedFaster", tr("Faster"), QKeySequence(Qt::Key_BracketRight)),
          &QAction::triggered, this, &SpeedController::Faster);
  connect(AddShortcut(window, speed, "speedNormal", tr("Normal Speed"), QKeySequence(Qt::Key_Backspace)),
          &QAction::triggered, this, &SpeedController::Normal);
  if (speed) connect(speed, &QMenu::aboutToShow, this, &SpeedController::ShowChecks);
  ShowChecks();
}

double SpeedController::Rate() const {
  PlaybackEngine* e = engine_();
  return e ? e->Rate() : 1.0;
}

std::string SpeedController::StatusText() const {
  const double rate = Rate();
  return rate == 1.0 ? std::string() : " - " + RateText(rate);
}

void SpeedController::Normal() {
  SetRate(1.0);
}

void SpeedController::Step(int direction) {
  SetRate(NextRate(Rate(), direction));
}

void SpeedController::SetRate(double rate) {
  if (PlaybackEngine* e = engine_()) e->SetRate(rate);
  ShowChecks();
}

void SpeedController::ShowChecks() {
  const int step = StepOfRate(Rate());
  for (int i = 0; i < kRateSteps; ++i) rates_[size_t(i)]->setChecked(i == step);
}
