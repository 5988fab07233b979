#pragma once

#include <QPoint>
#include <QWidget>
#include <functional>
#include <vector>

#include "export/redaction.h"

class VideoPane;

// Laid over one camera's pane: outlines the redaction shapes present at the
// position shown, and, while armed, turns a mouse drag over the picture
// into a place for a shape (fractions of the picture). Passes the mouse
// through to the pane when not armed.
class RedactionOverlay : public QWidget {
  Q_OBJECT
 public:
  // The shapes to outline now, with whether each is the one selected.
  struct Outline {
    redaction::Shape shape;
    redaction::Box box;
    bool selected;
  };
  using Outlines = std::function<std::vector<Outline>(int camera)>;
  RedactionOverlay(VideoPane& pane, Outlines outlines);

  void SetArmed(bool armed);
  bool Armed() const { return armed_; }

 signals:
  // A drag ended on the picture of camera `camera` (0..3).
  void Drawn(int camera, redaction::Box box);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // The camera whose picture the pane shows, and the part of it shown (as
  // fractions of its rows): all of it, except in the stacked two-camera
  // layout, where panes 1 and 2 show the halves of the first camera's
  // picture, to which the shapes belong.
  struct View {
    int camera;
    double top = 0, rows = 1;
  };
  View ViewOf() const;
  redaction::Box BoxOf(QPoint a, QPoint b) const;  // of the camera's picture

  VideoPane& pane_;
  Outlines outlines_;
  bool armed_ = false;
  bool dragging_ = false;
  QPoint from_, to_;
};
