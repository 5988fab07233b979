#pragma once

#include <QDialog>
#include <array>

#include "ui/core/picture_adjustment.h"

class QComboBox;
class QLabel;
class QSlider;

// Video > Picture Adjustments: brightness, contrast and gamma of one camera,
// applied as the sliders move. Modeless, so the picture stays in view while
// it is tuned. Holds no adjustment itself: Show puts a camera's values in,
// Changed gives the user's out.
class PictureAdjustmentDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PictureAdjustmentDialog(QWidget* parent = nullptr);

  // Shows camera `channel` (0..3) with `adjustment`, without a Changed.
  void Show(int channel, const PictureAdjustment& adjustment);
  int Channel() const;
  PictureAdjustment Value() const;

 signals:
  void Changed(int channel, const PictureAdjustment& adjustment);
  // The user picked another camera; the owner answers with Show.
  void CameraChosen(int channel);

 private:
  void ShowValues();

  QComboBox* camera_ = nullptr;
  QSlider* brightness_ = nullptr;
  QSlider* contrast_ = nullptr;
  QSlider* gamma_ = nullptr;  // hundredths
  std::array<QLabel*, 3> values_{};
  bool filling_ = false;  // Show is setting the widgets
};
