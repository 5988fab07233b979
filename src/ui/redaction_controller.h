#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "export/redaction.h"

class PlaybackEngine;
class QAction;
class QMenu;
class QTimer;
class QWidget;
class RedactionEditorDialog;
class RedactionOverlay;
class VideoPane;

// The window's redactions: Video > Redactions... opens the editor, the
// panes get overlays that outline the shapes at the position shown and take
// the drags that place them, and the list is kept for the recording in the
// user's data folder (saved on every change). The video export takes the
// list from here; nothing else does (clips and snapshots stay originals).
class RedactionController : public QObject {
  Q_OBJECT
 public:
  using EngineOf = std::function<PlaybackEngine*()>;
  using PaneOf = std::function<VideoPane*(int camera)>;
  // The menu item goes at the end of `menu` (none when null).
  RedactionController(QWidget& window, QMenu* menu, EngineOf engine, PaneOf pane);
  ~RedactionController() override;

  // The list saved for the recording open now (read again when the
  // recording changed), its file's name and SHA-256 ("" when none is saved).
  const redaction::RedactionList& List();
  std::string ListName();
  std::string ListSha256();

  void OpenEditor();
  RedactionEditorDialog* Editor() const;
  // The problem of the last save or load, "" when fine.
  const std::string& Problem() const { return problem_; }

 private:
  void Reload();
  void Changed();
  void Refresh();
  void Arm(bool newShape);
  void OnDrawn(int camera, redaction::Box box);
  int64_t Position();

  QWidget& window_;
  EngineOf engine_;
  PaneOf pane_;
  std::array<QPointer<RedactionOverlay>, 4> overlays_{};  // children of the panes
  QPointer<RedactionEditorDialog> editor_;
  QTimer* repaint_ = nullptr;
  std::vector<std::string> files_;  // of the list loaded
  std::string path_;                // its file in the data folder
  redaction::RedactionList list_;
  std::string problem_;
  enum class Arming { kNone, kNewShape, kKeyframe } arming_ = Arming::kNone;
};
