#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QListWidget;
class QPushButton;

// "Open Streaming Video Source": the user names the DVR unit to connect to,
// typed or picked from the known units (`KnownDevices`, sorted), starting
// from the last one used (`LastDevice`). Connect writes both settings and
// accepts with Address() set; Cancel writes nothing. No validation here: an
// empty address makes the window skip opening.
//
// Threads: the window thread.
class CStreamingSelectionDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CStreamingSelectionDlg(QWidget* parent = nullptr);

  // The address when Connect was pressed; empty until then.
  const std::string& Address() const { return address_; }

 private:
  void Add();
  void Remove();
  void SelectionChanged();
  void Connect();

  QLineEdit* ipAddress_ = nullptr;
  QLineEdit* name_ = nullptr;
  QListWidget* units_ = nullptr;
  QPushButton* remove_ = nullptr;
  std::string address_;
};
