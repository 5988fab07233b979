#include "ui/stream_selection_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>
#include <vector>

#include "base/settings.h"
#include "live/known_units.h"

namespace {

QPushButton* MakeButton(const char* text, const char* objectName, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(QString::fromUtf8(objectName));
  return b;
}

}  // namespace

CStreamingSelectionDlg::CStreamingSelectionDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Open Streaming Video Source"));
  setObjectName(QStringLiteral("streamSelection"));
  ipAddress_ = new QLineEdit(this);
  ipAddress_->setObjectName(QStringLiteral("ipAddress"));
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("unitName"));
  units_ = new QListWidget(this);
  units_->setObjectName(QStringLiteral("knownUnits"));
  units_->setSortingEnabled(true);
  auto* connectButton = MakeButton("Connect", "connectButton", this);
  connectButton->setDefault(true);
  auto* add = MakeButton("Add", "addButton", this);
  remove_ = MakeButton("Remove", "removeButton", this);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("IP Address:"), ipAddress_);
  form->addRow(QStringLiteral("Name:"), name_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add);
  buttons->addWidget(remove_);
  buttons->addStretch();
  buttons->addWidget(connectButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(new QLabel(QStringLiteral("Known Units:"), this));
  layout->addWidget(units_);
  layout->addLayout(buttons);

  for (const KnownUnit& unit : ParseKnownDevices(ReadSetting("KnownDevices")))
    units_->addItem(QString::fromStdString(UnitLine(unit)));
  const KnownUnit last = ParseLastDevice(ReadSetting("LastDevice"));
  ipAddress_->setText(QString::fromStdString(last.address));
  name_->setText(QString::fromStdString(last.name));
  remove_->setEnabled(false);

  connect(add, &QPushButton::clicked, this, &CStreamingSelectionDlg::Add);
  connect(remove_, &QPushButton::clicked, this, &CStreamingSelectionDlg::Remove);
  connect(connectButton, &QPushButton::clicked, this, &CStreamingSelectionDlg::Connect);
  connect(units_, &QListWidget::itemSelectionChanged, this, &CStreamingSelectionDlg::SelectionChanged);
}

void CStreamingSelectionDlg::Add() {
  units_->addItem(
      QString::fromStdString(UnitLine({name_->text().toStdString(), ipAddress_->text().toStdString()})));
}

void CStreamingSelectionDlg::Remove() {
  const QList<QListWidgetItem*> selected = units_->selectedItems();
  if (selected.isEmpty()) return;
  std::unique_ptr<QListWidgetItem>(units_->takeItem(units_->row(selected.front())));
  units_->clearSelection();
}

void CStreamingSelectionDlg::SelectionChanged() {
  const QList<QListWidgetItem*> selected = units_->selectedItems();
  remove_->setEnabled(!selected.isEmpty());
  KnownUnit unit;
  if (selected.isEmpty() || !SplitUnitLine(selected.front()->text().toStdString(), unit)) return;
  ipAddress_->setText(QString::fromStdString(unit.address));
  name_->setText(QString::fromStdString(unit.name));
}

void CStreamingSelectionDlg::Connect() {
  address_ = ipAddress_->text().toStdString();
  WriteSetting("LastDevice", FormatLastDevice({name_->text().toStdString(), address_}));
  std::vector<std::string> lines;
  for (int i = 0; i < units_->count(); ++i) lines.push_back(units_->item(i)->text().toStdString());
  WriteSetting("KnownDevices", FormatKnownDevices(lines));
  accept();
}
