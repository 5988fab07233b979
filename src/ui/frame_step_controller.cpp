#include "ui/frame_step_controller.h"

#include <QAction>
#include <QMenu>
#include <QWidget>
#include <cstdio>

#include "engine/pipeline/playback_engine.h"

FrameStepController::FrameStepController(QWidget& window, QMenu* menu, EngineOf engine, ChannelOf channel,
                                         Pause pause)
    : QObject(&window), engine_(std::move(engine)), channel_(std::move(channel)), pause_(std::move(pause)) {
  const struct {
    const char* name;
    const char* text;
    Qt::Key key;
    int direction;
  } steps[] = {{"nextFrame", "Next Frame", Qt::Key_Period, 1},
               {"previousFrame", "Previous Frame", Qt::Key_Comma, -1}};
  if (menu) menu->addSeparator();
  for (const auto& s : steps) {
    auto* a = new QAction(tr(s.text), &window);
    a->setObjectName(QString::fromUtf8(s.name));
    a->setShortcut(QKeySequence(s.key));
    a->setShortcutContext(Qt::WindowShortcut);
    window.addAction(a);
    if (menu) menu->addAction(a);
    const int direction = s.direction;
    connect(a, &QAction::triggered, this, [this, direction] { Step(direction); });
  }
}

void FrameStepController::Step(int direction) {
  PlaybackEngine* e = engine_();
  if (!e) return;
  if (e->IsPlaying()) pause_();
  e->StepExactFrame(direction, channel_());
  stepped_ = true;
}

std::string FrameStepController::StatusText() const {
  PlaybackEngine* e = engine_();
  if (!stepped_ || !e || e->IsPlaying()) return {};
  int64_t frame, count, ns;
  if (!e->ShownFrame(channel_(), frame, count, ns)) return {};
  return FrameStatusText(frame, count, ns);
}

std::string FrameStatusText(int64_t frame, int64_t count, int64_t timeNs) {
  const int64_t ms = timeNs / 1'000'000;
  const int64_t centis = timeNs / 10'000'000;
  char text[96];
  std::snprintf(text, sizeof text, " - frame %lld/%lld at %lld:%02lld:%02lld.%02lld (%lld ms)",
                static_cast<long long>(frame + 1), static_cast<long long>(count),
                static_cast<long long>(centis / 360000), static_cast<long long>(centis / 6000 % 60),
                static_cast<long long>(centis / 100 % 60), static_cast<long long>(centis % 100),
                static_cast<long long>(ms));
  return text;
}
