#include "ui/redaction_editor_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "clip/extraction_plan.h"

namespace {

QPushButton* Button(const QString& text, const char* name, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

QString Line(const redaction::Redaction& r) {
  const QString span = r.keys.empty()
                           ? QString()
                           : QString::fromStdString(clip::FormatPosition(r.keys.front().centis) + " - " +
                                                    clip::FormatPosition(r.keys.back().centis));
  return QStringLiteral("Camera %1  %2, %3  %4  (%5 keyframes)")
      .arg(r.camera + 1)
      .arg(r.shape == redaction::Shape::kEllipse ? QStringLiteral("ellipse") : QStringLiteral("rectangle"))
      .arg(r.fill == redaction::Fill::kPixelate ? QStringLiteral("pixelated") : QStringLiteral("solid"))
      .arg(span)
      .arg(r.keys.size());
}

}  // namespace

RedactionEditorDialog::RedactionEditorDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Redactions"));
  setObjectName(QStringLiteral("redactionEditor"));
  auto* form = new QFormLayout(this);
  shapes_ = new QListWidget(this);
  shapes_->setObjectName(QStringLiteral("redactionShapes"));
  form->addRow(shapes_);
  shape_ = new QComboBox(this);
  shape_->setObjectName(QStringLiteral("redactionShape"));
  shape_->addItems({QStringLiteral("Rectangle"), QStringLiteral("Ellipse")});
  fill_ = new QComboBox(this);
  fill_->setObjectName(QStringLiteral("redactionFill"));
  fill_->addItems({QStringLiteral("Solid black"), QStringLiteral("Pixelate")});
  form->addRow(QStringLiteral("Shape:"), shape_);
  form->addRow(QStringLiteral("Fill:"), fill_);
  auto* row = new QHBoxLayout;
  QPushButton* add = Button(QStringLiteral("New Shape"), "redactionNew", this);
  place_ = Button(QStringLiteral("Place Keyframe"), "redactionKeyframe", this);
  deleteKey_ = Button(QStringLiteral("Delete Keyframe"), "redactionDeleteKeyframe", this);
  delete_ = Button(QStringLiteral("Delete Shape"), "redactionDelete", this);
  for (QPushButton* b : {add, place_, deleteKey_, delete_}) row->addWidget(b);
  form->addRow(row);
  hint_ = new QLabel(this);
  hint_->setObjectName(QStringLiteral("redactionHint"));
  hint_->setWordWrap(true);
  form->addRow(hint_);
  connect(add, &QPushButton::clicked, this, &RedactionEditorDialog::NewShape);
  connect(place_, &QPushButton::clicked, this, &RedactionEditorDialog::PlaceKeyframe);
  connect(deleteKey_, &QPushButton::clicked, this, &RedactionEditorDialog::DeleteKeyframe);
  connect(delete_, &QPushButton::clicked, this, &RedactionEditorDialog::DeleteShape);
  for (QComboBox* box : {shape_, fill_})
    connect(box, &QComboBox::currentIndexChanged, this, [this] {
      if (!showing_) emit ShapeOrFillChosen();
    });
  connect(shapes_, &QListWidget::currentRowChanged, this, [this] {
    if (showing_) return;
    emit SelectionChanged();
  });
}

void RedactionEditorDialog::Show(const redaction::RedactionList& list, const QString& hint) {
  showing_ = true;
  const int selected = Selected();
  shapes_->clear();
  for (const redaction::Redaction& r : list.items) shapes_->addItem(Line(r));
  if (selected >= 0 && selected < int(list.items.size())) {
    shapes_->setCurrentRow(selected);
    shape_->setCurrentIndex(list.items[std::size_t(selected)].shape == redaction::Shape::kEllipse ? 1 : 0);
    fill_->setCurrentIndex(list.items[std::size_t(selected)].fill == redaction::Fill::kPixelate ? 1 : 0);
  }
  const bool any = Selected() >= 0;
  for (QPushButton* b : {place_, deleteKey_, delete_}) b->setEnabled(any);
  hint_->setText(hint);
  showing_ = false;
}

int RedactionEditorDialog::Selected() const {
  return shapes_->currentRow();
}

void RedactionEditorDialog::Select(int index) {
  shapes_->setCurrentRow(index);
}

redaction::Shape RedactionEditorDialog::ChosenShape() const {
  return shape_->currentIndex() == 1 ? redaction::Shape::kEllipse : redaction::Shape::kRectangle;
}

redaction::Fill RedactionEditorDialog::ChosenFill() const {
  return fill_->currentIndex() == 1 ? redaction::Fill::kPixelate : redaction::Fill::kSolid;
}
