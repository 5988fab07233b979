#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

// The Save-As question of the window's commands: a modal file dialog, or,
// when a test has installed an answerer, that answer without a dialog.
//
// Threads: the window thread only.

// The chosen path, or nothing when the user cancelled. `filter` is a Qt
// name filter (several separated by ";;"); `defaultSuffix` is added to a
// name typed without one. `chosenFilter`, when given, receives the filter
// the user picked (left as it is for an installed answerer).
std::optional<std::string> ChooseSaveFile(QWidget* parent, const std::string& filter,
                                          const std::string& defaultSuffix,
                                          std::string* chosenFilter = nullptr);

// Answers ChooseSaveFile instead of a dialog; an empty function restores
// the dialog. Returns the previous answerer.
using SaveFileAnswerer = std::function<std::optional<std::string>()>;
SaveFileAnswerer SetSaveFileAnswerer(SaveFileAnswerer answerer);
