#pragma once

#include <QDialog>

// The small window shown while a recording loads. The window behind it
// stays responsive: the loading runs on a worker thread.
class PleaseWaitDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PleaseWaitDialog(QWidget* parent);
};
