#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/range_form.h"

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;

// Asks for what an evidence package holds: the range (seconds on the
// recording's timeline, from the current position by default), the cameras
// and the folder to write it to; and whether it also holds a video and an
// incident report of the range, listed as derived.
class EvidencePackageDialog : public QDialog {
  Q_OBJECT
 public:
  // `lengthCentis`: the recording's length; `cameras`: which have video.
  EvidencePackageDialog(int64_t positionCentis, int64_t lengthCentis, const std::array<bool, 4>& cameras,
                        QWidget* parent = nullptr);

  int64_t FromCentis() const;
  int64_t ToCentis() const;
  std::vector<int> Cameras() const;  // 1..4
  std::string Folder() const;
  // The derived files asked for beside the evidence.
  bool WithVideo() const;
  bool WithReport() const;

 private:
  void UpdateOk();

  RangeRows range_;
  QLineEdit* folder_ = nullptr;
  QCheckBox* withVideo_ = nullptr;
  QCheckBox* withReport_ = nullptr;
  QPushButton* ok_ = nullptr;
};
