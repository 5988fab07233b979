#include "ui/proxy_settings_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/settings.h"
#include "map/proxy_config.h"
#include "map/text_rules.h"

namespace {

QString Stored(const char* name) {
  return QString::fromStdString(ReadSetting(name));
}

}  // namespace

CProxySettings::CProxySettings(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Proxy Server Settings"));
  auto* column = new QVBoxLayout(this);
  noProxy_ = new QRadioButton(QStringLiteral("No proxy server"), this);
  useProxy_ = new QRadioButton(QStringLiteral("Use a proxy server"), this);
  scanProxy_ = new QRadioButton(QStringLiteral("Scan for proxy settings on computer"), this);
  noProxy_->setObjectName("noProxy");
  useProxy_->setObjectName("useProxy");
  scanProxy_->setObjectName("scanProxy");
  // The dialog sets all three itself on every choice.
  for (QRadioButton* r : {noProxy_, useProxy_, scanProxy_}) r->setAutoExclusive(false);
  column->addWidget(noProxy_);
  column->addWidget(useProxy_);

  auto* form = new QFormLayout;
  address_ = new QLineEdit(this);
  port_ = new QLineEdit(this);
  authenticate_ = new QCheckBox(QStringLiteral("Proxy server requires authentication"), this);
  username_ = new QLineEdit(this);
  password_ = new QLineEdit(this);
  password_->setEchoMode(QLineEdit::Password);
  address_->setObjectName("address");
  port_->setObjectName("port");
  authenticate_->setObjectName("authenticate");
  username_->setObjectName("username");
  password_->setObjectName("password");
  form->addRow(QStringLiteral("Address:"), address_);
  form->addRow(QStringLiteral("Port:"), port_);
  form->addRow(authenticate_);
  form->addRow(QStringLiteral("Username:"), username_);
  form->addRow(QStringLiteral("Password:"), password_);
  column->addLayout(form);
  column->addWidget(scanProxy_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  column->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  address_->setText(Stored(kProxyServerSetting));
  port_->setText(Stored(kProxyPortSetting));
  username_->setText(Stored(kProxyUsernameSetting));
  password_->setText(Stored(kProxyPasswordSetting));
  authenticate_->setChecked(EqualsIgnoringCase(ReadSetting(kProxyAuthenticateSetting), "yes"));
  const std::string on = ReadSetting(kProxyOnSetting);
  if (EqualsIgnoringCase(on, "yes")) {
    Choose(Mode::kManual);
    ApplyAuthentication();
  } else {
    Choose(EqualsIgnoringCase(on, "auto") ? Mode::kScan : Mode::kNone);
    username_->setEnabled(false);
    password_->setEnabled(false);
  }

  connect(noProxy_, &QRadioButton::clicked, this, [this] { Choose(Mode::kNone); });
  connect(useProxy_, &QRadioButton::clicked, this, [this] { Choose(Mode::kManual); });
  connect(scanProxy_, &QRadioButton::clicked, this, [this] { Choose(Mode::kScan); });
  connect(authenticate_, &QCheckBox::toggled, this, [this] { ApplyAuthentication(); });
}

void CProxySettings::Choose(Mode mode) {
  noProxy_->setChecked(mode == Mode::kNone);
  useProxy_->setChecked(mode == Mode::kManual);
  scanProxy_->setChecked(mode == Mode::kScan);
  const bool manual = mode == Mode::kManual;
  address_->setEnabled(manual);
  port_->setEnabled(manual);
  authenticate_->setEnabled(manual);
  if (manual) {
    // Username and Password come back only with the box checked.
    if (authenticate_->isChecked()) ApplyAuthentication();
  } else {
    username_->setEnabled(false);
    password_->setEnabled(false);
  }
}

void CProxySettings::ApplyAuthentication() {
  username_->setEnabled(authenticate_->isChecked());
  password_->setEnabled(authenticate_->isChecked());
}

void CProxySettings::accept() {
  WriteSetting(kProxyServerSetting, address_->text().toStdString());
  WriteSetting(kProxyPortSetting, port_->text().toStdString());
  WriteSetting(kProxyUsernameSetting, username_->text().toStdString());
  WriteSetting(kProxyPasswordSetting, password_->text().toStdString());
  WriteSetting(kProxyOnSetting, useProxy_->isChecked() ? "yes" : scanProxy_->isChecked() ? "auto" : "no");
  WriteSetting(kProxyAuthenticateSetting, authenticate_->isChecked() ? "yes" : "no");
  QDialog::accept();
}
