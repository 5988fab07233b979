#include "ui/please_wait_dialog.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/core/window_messages.h"

PleaseWaitDialog::PleaseWaitDialog(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("pleaseWait"));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(QString::fromUtf8(kPleaseWaitText), this);
  text->setWordWrap(true);
  text->setAlignment(Qt::AlignCenter);
  layout->addWidget(text);
  setFixedWidth(320);
}
