#include "ui/units_clock_controller.h"

#include <QAction>
#include <QActionGroup>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QWidget>

#include "base/settings.h"
#include "evidence/bookmarks.h"
#include "metadata/clock_text.h"
#include "ui/message_box.h"
#include "ui/timeline_strip.h"

namespace {

QAction* AddChoice(QObject* owner, QMenu* menu, QActionGroup* group, const char* name, const QString& text) {
  auto* a = new QAction(text, owner);
  a->setObjectName(QString::fromUtf8(name));
  a->setCheckable(true);
  group->addAction(a);
  if (menu) menu->addAction(a);
  return a;
}

}  // namespace

UnitsClockController::UnitsClockController(QWidget& window, QMenu* menu, TimelineStrip& timeline,
                                           FilesOf files, ApplyClock apply, Refresh refresh)
    : QObject(&window),
      window_(window),
      timeline_(timeline),
      files_(std::move(files)),
      apply_(std::move(apply)),
      refresh_(std::move(refresh)) {
  QMenu* units = menu ? menu->addMenu(tr("Units")) : nullptr;
  auto* unitGroup = new QActionGroup(this);
  units_ = {AddChoice(this, units, unitGroup, "unitMph", tr("mph")),
            AddChoice(this, units, unitGroup, "unitKmh", tr("km/h"))};
  connect(units_[0], &QAction::triggered, this, [this] { SetUnit(SpeedUnit::kMph); });
  connect(units_[1], &QAction::triggered, this, [this] { SetUnit(SpeedUnit::kKmh); });

  QMenu* clock = menu ? menu->addMenu(tr("Clock")) : nullptr;
  auto* clockGroup = new QActionGroup(this);
  clocks_ = {AddChoice(this, clock, clockGroup, "clockRecording", tr("Recording's Local Time")),
             AddChoice(this, clock, clockGroup, "clockUtc", tr("UTC")),
             AddChoice(this, clock, clockGroup, "clockComputer", tr("This Computer's Time Zone"))};
  for (int i = 0; i < 3; ++i)
    connect(clocks_[std::size_t(i)], &QAction::triggered, this, [this, i] { SetClock(ClockShown(i)); });
  if (clock) clock->addSeparator();
  correctionAction_ = new QAction(tr("DVR Clock &Correction..."), this);
  correctionAction_->setObjectName(QStringLiteral("clockCorrection"));
  if (clock) clock->addAction(correctionAction_);
  connect(correctionAction_, &QAction::triggered, this, &UnitsClockController::EditCorrection);
  if (menu) connect(menu, &QMenu::aboutToShow, this, &UnitsClockController::ShowChecks);

  SpeedUnit unit = SpeedUnit::kMph;
  ParseSpeedUnit(ReadSetting(kSpeedUnitSetting), unit);
  SetDisplaySpeedUnit(unit);
  clock_ = ClockFromSetting(ReadSetting(kClockSetting));
  Apply();
  ShowChecks();
}

void UnitsClockController::SetUnit(SpeedUnit unit) {
  SetDisplaySpeedUnit(unit);
  WriteSetting(kSpeedUnitSetting, SpeedUnitName(unit));
  timeline_.UnitsChanged();
  ShowChecks();
  refresh_();
}

void UnitsClockController::SetClock(ClockShown clock) {
  clock_ = clock;
  WriteSetting(kClockSetting, ClockSettingText(clock));
  Apply();
  ShowChecks();
}

bool UnitsClockController::SetCorrection(int64_t millis) {
  const std::vector<std::string> files = files_();
  if (files.empty()) return false;
  // The store also holds the bookmarks: keep what it has now.
  evidence::RecordingNotes notes = evidence::LoadRecordingNotes(files);
  notes.clockCorrectionMillis = millis;
  std::string error;
  if (!evidence::SaveRecordingNotes(files, notes, error)) {
    ShowPlayerFailure(&window_, "The clock correction could not be saved.", error);
    return false;
  }
  correction_ = millis;
  Apply();
  return true;
}

void UnitsClockController::EditCorrection() {
  if (files_().empty()) return;
  for (QString text = QString::fromStdString(FormatClockCorrection(correction_));;) {
    bool ok = false;
    text = QInputDialog::getText(&window_, tr("DVR Clock Correction"),
                                 tr("What to add to the recorder's clock for the true time\n"
                                    "(+H:MM:SS or -H:MM:SS, e.g. +0:02:13; 0 for none):"),
                                 QLineEdit::Normal, text, &ok)
               .trimmed();
    if (!ok) return;
    int64_t millis = 0;
    if (text.isEmpty() || text == QLatin1String("0") || ParseClockCorrection(text.toStdString(), millis)) {
      SetCorrection(millis);
      return;
    }
    ShowPlayerMessage(&window_,
                      "\"" + text.toStdString() + "\" is no clock correction: give +H:MM:SS or -H:MM:SS.");
  }
}

void UnitsClockController::Reload() {
  const std::vector<std::string> files = files_();
  correction_ = files.empty() ? 0 : evidence::LoadRecordingNotes(files).clockCorrectionMillis;
  Apply();
  ShowChecks();
}

void UnitsClockController::Apply() {
  apply_(clock_, correction_);
}

void UnitsClockController::ShowChecks() {
  units_[DisplaySpeedUnit() == SpeedUnit::kKmh ? 1 : 0]->setChecked(true);
  clocks_[std::size_t(clock_)]->setChecked(true);
  correctionAction_->setEnabled(!files_().empty());
}
