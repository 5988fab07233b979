#include "ui/save_file_chooser.h"

#include <QFileDialog>
#include <utility>

#include "ui/core/recent_files.h"

namespace {

SaveFileAnswerer& Answerer() {
  static SaveFileAnswerer answerer;
  return answerer;
}

}  // namespace

std::optional<std::string> ChooseSaveFile(QWidget* parent, const std::string& filter,
                                          const std::string& defaultSuffix, std::string* chosenFilter) {
  if (Answerer()) return Answerer()();
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QString::fromStdString(filter));
  dialog.setDefaultSuffix(QString::fromStdString(defaultSuffix));
  dialog.setDirectory(QString::fromStdString(DialogStartFolder({})));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  if (chosenFilter) *chosenFilter = dialog.selectedNameFilter().toStdString();
  return dialog.selectedFiles().front().toStdString();
}

SaveFileAnswerer SetSaveFileAnswerer(SaveFileAnswerer answerer) {
  return std::exchange(Answerer(), std::move(answerer));
}
