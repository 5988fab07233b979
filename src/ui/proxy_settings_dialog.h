#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

// The "Proxy Server Settings" dialog: how map pictures are fetched —
// directly ("No proxy server"), through a named proxy ("Use a proxy
// server", with an address, a port and optionally a user name and password)
// or through the computer's own configuration ("Scan for proxy settings on
// computer"). It fills its fields from the six stored values when it is made
// and stores all six on OK, the fields as they stand (also when disabled);
// Cancel stores nothing. New map windows read the values.
//
// The password is stored as typed in the settings file, which is private to
// the user (mode 0600); nothing here prints or logs it.
//
// Widgets carry object names for tests: "noProxy", "useProxy", "scanProxy",
// "address", "port", "authenticate", "username", "password".
class CProxySettings : public QDialog {
 public:
  explicit CProxySettings(QWidget* parent = nullptr);

  void accept() override;

 private:
  enum class Mode { kNone, kManual, kScan };
  void Choose(Mode mode);
  void ApplyAuthentication();

  QRadioButton* noProxy_ = nullptr;
  QRadioButton* useProxy_ = nullptr;
  QRadioButton* scanProxy_ = nullptr;
  QLineEdit* address_ = nullptr;
  QLineEdit* port_ = nullptr;
  QCheckBox* authenticate_ = nullptr;
  QLineEdit* username_ = nullptr;
  QLineEdit* password_ = nullptr;
};
