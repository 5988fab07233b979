#pragma once

#include <QDialog>

#include "ui/core/go_to_target.h"

class QComboBox;
class QLineEdit;

// Go to Time: one line for the time and a choice of the clock it is read
// on (the timeline, the recording's local clock, its UTC clock).
class GoToDialog : public QDialog {
  Q_OBJECT
 public:
  explicit GoToDialog(QWidget* parent = nullptr);

  GoToClock Clock() const;
  QString Text() const;
  // Set before the dialog opens: the clock offered first and the entry.
  void Preset(GoToClock clock, const QString& text);

 private:
  QComboBox* clock_ = nullptr;
  QLineEdit* text_ = nullptr;
};
