#include "ui/evidence_package_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr double kDefaultSeconds = 60.0;

QDoubleSpinBox* SecondsBox(double value, double maximum, QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setDecimals(2);
  box->setRange(0, maximum);
  box->setSuffix(" s");
  box->setValue(value);
  return box;
}

}  // namespace

EvidencePackageDialog::EvidencePackageDialog(int64_t position, int64_t length,
                                             const std::array<bool, 4>& cameras, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Export Evidence Package"));
  auto* form = new QFormLayout(this);
  const double total = double(length) / 100.0;
  from_ = SecondsBox(double(position) / 100.0, total, this);
  to_ = SecondsBox(std::min(total, double(position) / 100.0 + kDefaultSeconds), total, this);
  from_->setObjectName(QStringLiteral("evidenceFrom"));
  to_->setObjectName(QStringLiteral("evidenceTo"));
  form->addRow(QStringLiteral("Start:"), from_);
  form->addRow(QStringLiteral("End:"), to_);
  auto* row = new QHBoxLayout;
  for (int c = 0; c < 4; ++c) {
    cameras_[std::size_t(c)] = new QCheckBox(QStringLiteral("Camera %1").arg(c + 1), this);
    cameras_[std::size_t(c)]->setEnabled(cameras[std::size_t(c)]);
    cameras_[std::size_t(c)]->setChecked(cameras[std::size_t(c)]);
    connect(cameras_[std::size_t(c)], &QCheckBox::toggled, this, &EvidencePackageDialog::UpdateOk);
    row->addWidget(cameras_[std::size_t(c)]);
  }
  form->addRow(QStringLiteral("Cameras:"), row);
  auto* folderRow = new QHBoxLayout;
  folder_ = new QLineEdit(this);
  folder_->setObjectName(QStringLiteral("evidenceFolder"));
  auto* browse = new QPushButton(QStringLiteral("..."), this);
  folderRow->addWidget(folder_);
  folderRow->addWidget(browse);
  form->addRow(QStringLiteral("Folder (new or empty):"), folderRow);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Package Folder"));
    if (!dir.isEmpty()) folder_->setText(dir);
  });
  withVideo_ = new QCheckBox(QStringLiteral("Add a video of the range (video.mp4)"), this);
  withVideo_->setObjectName(QStringLiteral("evidenceWithVideo"));
  withReport_ = new QCheckBox(QStringLiteral("Add an incident report (report.pdf)"), this);
  withReport_->setObjectName(QStringLiteral("evidenceWithReport"));
  form->addRow(QStringLiteral("Derived files:"), withVideo_);
  form->addRow(QString(), withReport_);
  connect(folder_, &QLineEdit::textChanged, this, &EvidencePackageDialog::UpdateOk);
  connect(from_, &QDoubleSpinBox::valueChanged, this, &EvidencePackageDialog::UpdateOk);
  connect(to_, &QDoubleSpinBox::valueChanged, this, &EvidencePackageDialog::UpdateOk);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  UpdateOk();
}

void EvidencePackageDialog::UpdateOk() {
  ok_->setEnabled(!Cameras().empty() && ToCentis() > FromCentis() && !folder_->text().isEmpty());
}

int64_t EvidencePackageDialog::FromCentis() const {
  return int64_t(std::llround(from_->value() * 100));
}
int64_t EvidencePackageDialog::ToCentis() const {
  return int64_t(std::llround(to_->value() * 100));
}
std::vector<int> EvidencePackageDialog::Cameras() const {
  std::vector<int> chosen;
  for (int c = 0; c < 4; ++c) {
    if (cameras_[std::size_t(c)]->isChecked()) chosen.push_back(c + 1);
  }
  return chosen;
}
std::string EvidencePackageDialog::Folder() const {
  return folder_->text().toStdString();
}

bool EvidencePackageDialog::WithVideo() const {
  return withVideo_->isChecked();
}

bool EvidencePackageDialog::WithReport() const {
  return withReport_->isChecked();
}
