#include "ui/range_form.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <cmath>

namespace {

QDoubleSpinBox* SecondsBox(int64_t centis, int64_t lengthCentis, const QString& name, QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setObjectName(name);
  box->setDecimals(2);
  box->setRange(0, double(lengthCentis) / 100.0);
  box->setSuffix(QStringLiteral(" s"));
  box->setValue(double(centis) / 100.0);
  return box;
}

int64_t CentisOf(const QDoubleSpinBox& box) {
  return int64_t(std::llround(box.value() * 100));
}

}  // namespace

int64_t RangeRows::FromCentis() const {
  return CentisOf(*from);
}

int64_t RangeRows::ToCentis() const {
  return CentisOf(*to);
}

std::array<bool, 4> RangeRows::Chosen() const {
  std::array<bool, 4> chosen{};
  for (std::size_t c = 0; c < 4; ++c) chosen[c] = cameras[c]->isChecked();
  return chosen;
}

RangeRows AddRangeRows(QDialog& dialog, QFormLayout& form, const char* name, int64_t fromCentis,
                       int64_t toCentis, int64_t lengthCentis, const std::array<bool, 4>& cameras,
                       const QString& camerasLabel, const std::function<void()>& changed) {
  RangeRows rows;
  const QString prefix = QString::fromUtf8(name);
  rows.from = SecondsBox(fromCentis, lengthCentis, prefix + QStringLiteral("From"), &dialog);
  rows.to = SecondsBox(toCentis, lengthCentis, prefix + QStringLiteral("To"), &dialog);
  form.addRow(QStringLiteral("Start:"), rows.from);
  form.addRow(QStringLiteral("End:"), rows.to);
  QObject::connect(rows.from, &QDoubleSpinBox::valueChanged, &dialog, changed);
  QObject::connect(rows.to, &QDoubleSpinBox::valueChanged, &dialog, changed);
  auto* row = new QHBoxLayout;
  for (std::size_t c = 0; c < 4; ++c) {
    rows.cameras[c] = new QCheckBox(QStringLiteral("Camera %1").arg(c + 1), &dialog);
    rows.cameras[c]->setEnabled(cameras[c]);
    rows.cameras[c]->setChecked(cameras[c]);
    QObject::connect(rows.cameras[c], &QCheckBox::toggled, &dialog, changed);
    row->addWidget(rows.cameras[c]);
  }
  form.addRow(camerasLabel, row);
  return rows;
}

QPushButton* AddOkCancelRow(QDialog& dialog, QFormLayout& form) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form.addRow(buttons);
  return buttons->button(QDialogButtonBox::Ok);
}
