#include "ui/picture_adjustment_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

PictureAdjustmentDialog::PictureAdjustmentDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("pictureAdjustments"));
  setWindowTitle(tr("Picture Adjustments"));
  camera_ = new QComboBox(this);
  camera_->setObjectName(QStringLiteral("camera"));
  for (int c = 1; c <= 4; ++c) camera_->addItem(tr("Camera %1").arg(c));

  auto slider = [this](const char* name, int low, int high) {
    auto* s = new QSlider(Qt::Horizontal, this);
    s->setObjectName(QString::fromUtf8(name));
    s->setRange(low, high);
    s->setMinimumWidth(220);
    return s;
  };
  brightness_ = slider("brightness", -100, 100);
  contrast_ = slider("contrast", -100, 100);
  gamma_ = slider("gamma", int(std::lround(kMinGamma * 100)), int(std::lround(kMaxGamma * 100)));
  auto* form = new QFormLayout;
  form->addRow(tr("Camera:"), camera_);
  const std::array<std::pair<QString, QSlider*>, 3> rows{
      {{tr("Brightness:"), brightness_}, {tr("Contrast:"), contrast_}, {tr("Gamma:"), gamma_}}};
  for (size_t i = 0; i < rows.size(); ++i) {
    auto* line = new QHBoxLayout;
    values_[i] = new QLabel(this);
    values_[i]->setMinimumWidth(40);
    line->addWidget(rows[i].second);
    line->addWidget(values_[i]);
    form->addRow(rows[i].first, line);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Reset | QDialogButtonBox::Close, this);
  auto* note =
      new QLabel(tr("Changes the picture shown only; snapshots and clips keep the recorded frames."), this);
  note->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(buttons);

  auto changed = [this] {
    ShowValues();
    if (!filling_) emit Changed(Channel(), Value());
  };
  for (QSlider* s : {brightness_, contrast_, gamma_}) connect(s, &QSlider::valueChanged, this, changed);
  connect(camera_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!filling_) emit CameraChosen(index);
  });
  connect(buttons->button(QDialogButtonBox::Reset), &QPushButton::clicked, this, [this] {
    Show(Channel(), PictureAdjustment{});
    emit Changed(Channel(), Value());
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  Show(0, PictureAdjustment{});
}

void PictureAdjustmentDialog::Show(int channel, const PictureAdjustment& adjustment) {
  const PictureAdjustment a = ClampedAdjustment(adjustment);
  filling_ = true;
  camera_->setCurrentIndex(channel);
  brightness_->setValue(a.brightness);
  contrast_->setValue(a.contrast);
  gamma_->setValue(int(std::lround(a.gamma * 100)));
  filling_ = false;
  ShowValues();
}

int PictureAdjustmentDialog::Channel() const {
  return camera_->currentIndex();
}

PictureAdjustment PictureAdjustmentDialog::Value() const {
  return ClampedAdjustment({brightness_->value(), contrast_->value(), gamma_->value() / 100.0});
}

void PictureAdjustmentDialog::ShowValues() {
  const PictureAdjustment a = Value();
  values_[0]->setText(QString::number(a.brightness));
  values_[1]->setText(QString::number(a.contrast));
  values_[2]->setText(QString::number(a.gamma, 'f', 2));
}
