#include "ui/evidence_package_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int64_t kDefaultCentis = 6000;

}  // namespace

EvidencePackageDialog::EvidencePackageDialog(int64_t position, int64_t length,
                                             const std::array<bool, 4>& cameras, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Export Evidence Package"));
  auto* form = new QFormLayout(this);
  range_ = AddRangeRows(*this, *form, "evidence", position, std::min(length, position + kDefaultCentis),
                        length, cameras, QStringLiteral("Cameras:"), [this] { UpdateOk(); });
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
  ok_ = AddOkCancelRow(*this, *form);
  UpdateOk();
}

void EvidencePackageDialog::UpdateOk() {
  ok_->setEnabled(!Cameras().empty() && ToCentis() > FromCentis() && !folder_->text().isEmpty());
}

int64_t EvidencePackageDialog::FromCentis() const {
  return range_.FromCentis();
}
int64_t EvidencePackageDialog::ToCentis() const {
  return range_.ToCentis();
}
std::vector<int> EvidencePackageDialog::Cameras() const {
  std::vector<int> chosen;
  for (int c = 0; c < 4; ++c) {
    if (range_.cameras[std::size_t(c)]->isChecked()) chosen.push_back(c + 1);
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
