#include "base/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <QStringList>

namespace {

constexpr qsizetype kValueLimit = 1024;

QSettings OpenStore() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, "QMX", "Player");
}

// Creates the file empty and private before the store first writes to it,
// so the password is never readable by others, not even for a moment; the
// store's atomic replace keeps the mode of the file it replaces.
void EnsurePrivateFile(const QString& path) {
  const QByteArray native = path.toLocal8Bit();
  const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
  ::chmod(native.constData(), 0600);
}

}  // namespace

std::string ReadSetting(const std::string& name) {
  const QSettings store = OpenStore();
  const QVariant value = store.value(QString::fromStdString(name));
  if (!value.isValid()) return {};
  // A hand-edited value with commas is parsed by the INI reader as a list;
  // the raw text is what the owner of the value wrote.
  const QString text =
      value.typeId() == QMetaType::QStringList ? value.toStringList().join(',') : value.toString();
  if (text.size() >= kValueLimit) return {};
  return text.toStdString();
}

void WriteSetting(const std::string& name, const std::string& value) {
  QSettings store = OpenStore();
  const QString path = store.fileName();
  const QString folder = path.left(path.lastIndexOf('/'));
  ::mkdir(folder.toLocal8Bit().constData(), 0700);
  EnsurePrivateFile(path);
  const QString key = QString::fromStdString(name);
  const QVariant previous = store.value(key);
  store.setValue(key, QString::fromStdString(value));
  store.sync();
  if (store.status() != QSettings::NoError) {
    // The store keeps unsaved values in a process-wide cache; put back what
    // the file still holds so later reads do not show a value that was never
    // stored.
    if (previous.isValid()) {
      store.setValue(key, previous);
    } else {
      store.remove(key);
    }
    return;
  }
  ::chmod(path.toLocal8Bit().constData(), 0600);
}

std::string SettingsFilePath() {
  return OpenStore().fileName().toStdString();
}
