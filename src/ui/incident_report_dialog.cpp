#include "ui/incident_report_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "ui/save_file_chooser.h"

namespace {

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
  range_ = AddRangeRows(*this, *form, "report", fromCentis, toCentis, lengthCentis, cameras,
                        QStringLiteral("Pictures of:"), [this] { UpdateOk(); });
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
  ok_ = AddOkCancelRow(*this, *form);
  UpdateOk();
}

void IncidentReportDialog::UpdateOk() {
  ok_->setEnabled(Cameras() != std::array<bool, 4>{} && ToCentis() > FromCentis() &&
                  !output_->text().isEmpty());
}

int64_t IncidentReportDialog::FromCentis() const {
  return range_.FromCentis();
}

int64_t IncidentReportDialog::ToCentis() const {
  return range_.ToCentis();
}

std::array<bool, 4> IncidentReportDialog::Cameras() const {
  return range_.Chosen();
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
