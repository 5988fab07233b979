#pragma once

#include <QDialog>

#include "export/redaction.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

// "Redactions": the recording's shapes, one a line (camera, shape, fill,
// span, keyframes), the shape and fill of the selected or next one, and the
// commands. New Shape and Place Keyframe arm the panes: the next drag over
// a camera's picture places the shape at the position shown. It edits
// nothing itself; the controller owns the list and asks the dialog to show it.
class RedactionEditorDialog : public QDialog {
  Q_OBJECT
 public:
  explicit RedactionEditorDialog(QWidget* parent = nullptr);

  // Shows `list` keeping the selection when it still exists; `hint` is the
  // line under the buttons.
  void Show(const redaction::RedactionList& list, const QString& hint);
  int Selected() const;  // -1 when none
  void Select(int index);
  redaction::Shape ChosenShape() const;
  redaction::Fill ChosenFill() const;

 signals:
  void NewShape();
  void PlaceKeyframe();
  void DeleteKeyframe();
  void DeleteShape();
  void ShapeOrFillChosen();
  void SelectionChanged();

 private:
  QListWidget* shapes_ = nullptr;
  QComboBox* shape_ = nullptr;
  QComboBox* fill_ = nullptr;
  QLabel* hint_ = nullptr;
  QPushButton* place_ = nullptr;
  QPushButton* deleteKey_ = nullptr;
  QPushButton* delete_ = nullptr;
  bool showing_ = false;  // Show() fills the widgets: no signals back
};
