#include "ui/message_box.h"

#include <QMessageBox>
#include <QTimer>

#include "base/titles.h"

namespace {
MessageCatcher& Catcher() {
  static MessageCatcher catcher;
  return catcher;
}
void Show(QWidget* parent, const std::string& title, const std::string& text, const std::string& cause) {
  if (Catcher()) {
    Catcher()(title, text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                  QMessageBox::Ok, parent);
  if (!cause.empty()) box.setDetailedText(QString::fromStdString(cause));
  // The box settles its size only once shown, after the dialog placed it
  // for its first size: it is centred on the window again then.
  if (parent)
    QTimer::singleShot(0, &box, [&box, window = parent->window()] {
      box.move(window->frameGeometry().center() -
               QPoint(box.frameGeometry().width() / 2, box.frameGeometry().height() / 2));
    });
  box.exec();
}
}  // namespace

void ShowPlayerMessage(QWidget* parent, const std::string& text) {
  ShowPlayerMessage(parent, kMessageCaption, text);
}

void ShowPlayerMessage(QWidget* parent, const std::string& title, const std::string& text) {
  Show(parent, title, text, {});
}

void ShowPlayerFailure(QWidget* parent, const std::string& text, const std::string& cause) {
  Show(parent, kMessageCaption, text, cause);
}

MessageCatcher SetMessageCatcher(MessageCatcher catcher) {
  MessageCatcher previous = std::move(Catcher());
  Catcher() = std::move(catcher);
  return previous;
}
