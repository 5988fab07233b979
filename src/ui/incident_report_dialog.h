#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

#include "ui/range_form.h"

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;

// Asks what an incident report covers: the range (seconds on the
// timeline), the cameras whose pictures it shows, the case and the
// examiner, and the PDF to write.
class IncidentReportDialog : public QDialog {
  Q_OBJECT
 public:
  // `cameras`: which have video (all are chosen at first).
  IncidentReportDialog(int64_t fromCentis, int64_t toCentis, int64_t lengthCentis,
                       const std::array<bool, 4>& cameras, QWidget* parent = nullptr);

  int64_t FromCentis() const;
  int64_t ToCentis() const;
  std::array<bool, 4> Cameras() const;
  std::string CaseText() const;
  std::string Examiner() const;
  std::string Output() const;  // with ".pdf" added to a name typed without a suffix

 private:
  void UpdateOk();

  RangeRows range_;
  QLineEdit* case_ = nullptr;
  QLineEdit* examiner_ = nullptr;
  QLineEdit* output_ = nullptr;
  QPushButton* ok_ = nullptr;
};
