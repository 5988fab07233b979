#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

class QCheckBox;
class QDialog;
class QDoubleSpinBox;
class QFormLayout;
class QPushButton;

// The rows the dialogs of a range's exports share: the range's start and
// end in seconds, one check box per camera (the absent ones grayed), and
// OK / Cancel with OK enabled by the dialog's own rule.
struct RangeRows {
  QDoubleSpinBox* from = nullptr;
  QDoubleSpinBox* to = nullptr;
  std::array<QCheckBox*, 4> cameras{};

  int64_t FromCentis() const;
  int64_t ToCentis() const;
  std::array<bool, 4> Chosen() const;
};

// Adds "Start:", "End:" and `camerasLabel` rows to `form`; the boxes are
// named `name`From and `name`To. `changed` runs on every edit of them.
RangeRows AddRangeRows(QDialog& dialog, QFormLayout& form, const char* name, int64_t fromCentis,
                       int64_t toCentis, int64_t lengthCentis, const std::array<bool, 4>& cameras,
                       const QString& camerasLabel, const std::function<void()>& changed);

// Adds the OK / Cancel row last; returns OK.
QPushButton* AddOkCancelRow(QDialog& dialog, QFormLayout& form);
