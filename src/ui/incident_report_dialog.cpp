#include "ui/incident_report_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <filesystem>

#include "ui/save_file_chooser.h"

namespace {

QDoubleSpinBox* SecondsBox(int64_t centis, int64_t length, const char* name, QWidget* parent) {
  auto* box = new QDoubleSpinBox(parent);
  box->setObjectName(QString::fromUtf8(name));
  box->setDecimals(2);
  box->setRange(0, double(length) / 100.0);
  box->setSuffix(QStringLiteral(" s"));
  box->setValue(double(centis) / 100.0);
  return box;
}

QLineEdit* TextBox(const char* name, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::fromUtf8(name));
  return box;
}

}  // namespace

IncidentReportDialog::IncidentReportDialog(int64_t fromCentis, int64_t toCentis, int64_t lengthCentis,
                                           const std::array<bool, 4>& cameras, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Export Incident Report"));
  auto* form = new QFormLayout(this);
  from_ = SecondsBox(fromCentis, lengthCentis, "reportFrom", this);
  to_ = SecondsBox(toCentis, lengthCentis, "reportTo", this);
  form->addRow(QStringLiteral("Start:"), from_);
  form->addRow(QStringLiteral("End:"), to_);
  auto* row = new QHBoxLayout;
  for (std::size_t c = 0; c < 4; ++c) {
    cameras_[c] = new QCheckBox(QStringLiteral("Camera %1").arg(c + 1), this);
    cameras_[c]->setEnabled(cameras[c]);
    cameras_[c]->setChecked(cameras[c]);
    connect(cameras_[c], &QCheckBox::toggled, this, &IncidentReportDialog::UpdateOk);
    row->addWidget(cameras_[c]);
  }
  form->addRow(QStringLiteral("Pictures of:"), row);
  case_ = TextBox("reportCase", this);
  examiner_ = TextBox("reportExaminer", this);
  form->addRow(QStringLiteral("Case:"), case_);
  form->addRow(QStringLiteral("Examiner:"), examiner_);
  auto* fileRow = new QHBoxLayout;
  output_ = TextBox("reportOutput", this);
  auto* browse = new QPushButton(QStringLiteral("..."), this);
  fileRow->addWidget(output_);
  fileRow->addWidget(browse);
  form->addRow(QStringLiteral("Report (PDF):"), fileRow);
  connect(browse, &QPushButton::clicked, this, [this] {
    if (const auto chosen = ChooseSaveFile(this, "PDF document (*.pdf)", "pdf"))
      output_->setText(QString::fromStdString(*chosen));
  });
  connect(output_, &QLineEdit::textChanged, this, &IncidentReportDialog::UpdateOk);
  connect(from_, &QDoubleSpinBox::valueChanged, this, &IncidentReportDialog::UpdateOk);
  connect(to_, &QDoubleSpinBox::valueChanged, this, &IncidentReportDialog::UpdateOk);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  UpdateOk();
}

void IncidentReportDialog::UpdateOk() {
  ok_->setEnabled(Cameras() != std::array<bool, 4>{} && ToCentis() > FromCentis() &&
                  !output_->text().isEmpty());
}

int64_t IncidentReportDialog::FromCentis() const {
  return int64_t(std::llround(from_->value() * 100));
}

int64_t IncidentReportDialog::ToCentis() const {
  return int64_t(std::llround(to_->value() * 100));
}

std::array<bool, 4> IncidentReportDialog::Cameras() const {
  std::array<bool, 4> chosen{};
  for (std::size_t c = 0; c < 4; ++c) chosen[c] = cameras_[c]->isChecked();
  return chosen;
}

std::string IncidentReportDialog::CaseText() const {
  return case_->text().toStdString();
}

std::string IncidentReportDialog::Examiner() const {
  return examiner_->text().toStdString();
}

std::string IncidentReportDialog::Output() const {
  std::string out = output_->text().toStdString();
  if (!out.empty() && std::filesystem::path(out).extension().empty()) out += ".pdf";
  return out;
}
