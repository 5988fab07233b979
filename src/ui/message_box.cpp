#include "ui/message_box.h"

#include <QMessageBox>

#include "app/titles.h"

namespace {
MessageCatcher& Catcher() {
  static MessageCatcher catcher;
  return catcher;
}
}  // namespace

void ShowPlayerMessage(QWidget* parent, const std::string& text) {
  ShowPlayerMessage(parent, kMessageCaption, text);
}

void ShowPlayerMessage(QWidget* parent, const std::string& title, const std::string& text) {
  if (Catcher()) {
    Catcher()(title, text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                  QMessageBox::Ok, parent);
  box.exec();
}

MessageCatcher SetMessageCatcher(MessageCatcher catcher) {
  MessageCatcher previous = std::move(Catcher());
  Catcher() = std::move(catcher);
  return previous;
}
