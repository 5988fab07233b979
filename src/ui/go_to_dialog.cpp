#include "ui/go_to_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

GoToDialog::GoToDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("goToDialog"));
  setWindowTitle(tr("Go to Time"));
  clock_ = new QComboBox(this);
  clock_->setObjectName(QStringLiteral("goToClock"));
  // In GoToClock's order.
  clock_->addItem(tr("Position on the timeline (h:mm:ss.ff)"));
  clock_->addItem(tr("Recording's local clock (HH:MM:SS)"));
  clock_->addItem(tr("Recording's UTC clock (HH:MM:SS)"));
  text_ = new QLineEdit(this);
  text_->setObjectName(QStringLiteral("goToText"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* form = new QFormLayout(this);
  form->addRow(tr("Time:"), text_);
  form->addRow(tr("Read as:"), clock_);
  form->addRow(buttons);
}

GoToClock GoToDialog::Clock() const {
  return static_cast<GoToClock>(clock_->currentIndex());
}

QString GoToDialog::Text() const {
  return text_->text();
}

void GoToDialog::Preset(GoToClock clock, const QString& text) {
  clock_->setCurrentIndex(static_cast<int>(clock));
  text_->setText(text);
  text_->selectAll();
}
