#include "ui/redaction_controller.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

#include "clip/extraction_plan.h"
#include "engine/pipeline/playback_engine.h"
#include "evidence/sha256.h"
#include "export/redaction_store.h"
#include "ui/redaction_editor_dialog.h"
#include "ui/redaction_overlay.h"
#include "ui/video_pane.h"

namespace {

// How often the outlines follow the position while the editor is open.
constexpr int kRepaintMs = 100;

}  // namespace

RedactionController::RedactionController(QWidget& window, QMenu* menu, EngineOf engine, PaneOf pane)
    : QObject(&window), window_(window), engine_(std::move(engine)), pane_(std::move(pane)) {
  auto* open = new QAction(tr("Redactions..."), this);
  open->setObjectName(QStringLiteral("redactionEditor"));
  if (menu) menu->addAction(open);
  connect(open, &QAction::triggered, this, &RedactionController::OpenEditor);
  repaint_ = new QTimer(this);
  repaint_->setInterval(kRepaintMs);
  connect(repaint_, &QTimer::timeout, this, [this] {
    // Another recording opened meanwhile: its own list.
    const std::vector<std::string> before = files_;
    Reload();
    if (files_ != before) Refresh();
    for (RedactionOverlay* o : overlays_)
      if (o) o->update();
  });
}

RedactionController::~RedactionController() {
  // The overlays ask this controller what to outline: they go first.
  for (QPointer<RedactionOverlay>& o : overlays_) delete o.data();
}

int64_t RedactionController::Position() {
  PlaybackEngine* engine = engine_();
  return engine ? engine->GetPositionCentis() : 0;
}

void RedactionController::Reload() {
  std::vector<std::string> files;
  if (PlaybackEngine* engine = engine_())
    for (const SequenceFile& f : engine->Files()) files.push_back(f.path);
  if (files == files_) return;
  files_ = files;
  path_ = redaction::RedactionListPath(files_);
  problem_.clear();
  if (!redaction::LoadRedactionList(path_, list_, problem_)) list_ = {};
}

const redaction::RedactionList& RedactionController::List() {
  Reload();
  return list_;
}

std::string RedactionController::ListName() {
  Reload();
  return list_.items.empty() ? "" : "the recording's saved redaction list";
}

std::string RedactionController::ListSha256() {
  Reload();
  std::string hex, error;
  if (list_.items.empty() || !evidence::Sha256OfFile(path_, hex, error)) return "";
  return hex;
}

void RedactionController::OpenEditor() {
  if (!engine_()) return;  // nothing open: nothing to redact
  Reload();
  if (!editor_) {
    editor_ = new RedactionEditorDialog(&window_);
    connect(editor_, &RedactionEditorDialog::NewShape, this, [this] { Arm(true); });
    connect(editor_, &RedactionEditorDialog::PlaceKeyframe, this, [this] { Arm(false); });
    connect(editor_, &RedactionEditorDialog::SelectionChanged, this, &RedactionController::Refresh);
    connect(editor_, &RedactionEditorDialog::DeleteShape, this, [this] {
      const int at = editor_->Selected();
      if (at < 0 || at >= int(list_.items.size())) return;
      list_.items.erase(list_.items.begin() + at);
      Changed();
    });
    connect(editor_, &RedactionEditorDialog::DeleteKeyframe, this, [this] {
      const int at = editor_->Selected();
      if (at < 0 || at >= int(list_.items.size())) return;
      // The keyframe nearest the position shown; the last one takes the shape.
      std::vector<redaction::Keyframe>& keys = list_.items[std::size_t(at)].keys;
      const int64_t now = Position();
      auto nearest = std::min_element(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        return std::llabs(a.centis - now) < std::llabs(b.centis - now);
      });
      if (nearest != keys.end()) keys.erase(nearest);
      if (keys.empty()) list_.items.erase(list_.items.begin() + at);
      Changed();
    });
    connect(editor_, &RedactionEditorDialog::ShapeOrFillChosen, this, [this] {
      const int at = editor_->Selected();
      if (at < 0 || at >= int(list_.items.size())) return;
      list_.items[std::size_t(at)].shape = editor_->ChosenShape();
      list_.items[std::size_t(at)].fill = editor_->ChosenFill();
      Changed();
    });
    connect(editor_, &QDialog::finished, this, [this] {
      arming_ = Arming::kNone;
      repaint_->stop();
      for (QPointer<RedactionOverlay>& o : overlays_) delete o.data();
    });
  }
  for (std::size_t c = 0; c < overlays_.size(); ++c) {
    VideoPane* pane = pane_(int(c));
    if (overlays_[c] || !pane) continue;
    overlays_[c] = new RedactionOverlay(*pane, [this](int camera) {
      std::vector<RedactionOverlay::Outline> out;
      const int64_t now = Position();
      for (std::size_t i = 0; i < list_.items.size(); ++i) {
        const redaction::Redaction& r = list_.items[i];
        if (r.camera != camera) continue;
        if (const std::optional<redaction::Box> box = redaction::PlaceAt(r, now))
          out.push_back({r.shape, *box, editor_ && int(i) == editor_->Selected()});
      }
      return out;
    });
    connect(overlays_[c].data(), &RedactionOverlay::Drawn, this, &RedactionController::OnDrawn);
  }
  repaint_->start();
  Refresh();
  editor_->show();
  editor_->raise();
}

void RedactionController::Arm(bool newShape) {
  arming_ = newShape ? Arming::kNewShape : Arming::kKeyframe;
  for (RedactionOverlay* o : overlays_)
    if (o) o->SetArmed(true);
  Refresh();
}

void RedactionController::OnDrawn(int camera, redaction::Box box) {
  const Arming arming = std::exchange(arming_, Arming::kNone);
  for (RedactionOverlay* o : overlays_)
    if (o) o->SetArmed(false);
  const redaction::Keyframe key{Position(), box};
  if (arming == Arming::kNewShape) {
    redaction::Redaction r;
    r.camera = camera;
    r.shape = editor_->ChosenShape();
    r.fill = editor_->ChosenFill();
    r.keys.push_back(key);
    list_.items.push_back(r);
    Changed();
    editor_->Select(int(list_.items.size()) - 1);
    return;
  }
  const int at = editor_->Selected();
  // A keyframe belongs to its shape's camera: a drag elsewhere places nothing.
  if (arming == Arming::kKeyframe && at >= 0 && at < int(list_.items.size()) &&
      list_.items[std::size_t(at)].camera == camera)
    redaction::SetKeyframe(list_.items[std::size_t(at)], key);
  Changed();
}

void RedactionController::Changed() {
  problem_.clear();
  redaction::SaveRedactionList(path_, list_, problem_);
  Refresh();
}

void RedactionController::Refresh() {
  if (!editor_) return;
  QString hint;
  const QString at = QString::fromStdString(clip::FormatPosition(Position()));
  if (arming_ == Arming::kNewShape)
    hint = tr("Drag over a camera's picture to place the new shape at %1.").arg(at);
  else if (arming_ == Arming::kKeyframe)
    hint = tr("Drag over the shape's camera to place it at %1.").arg(at);
  else if (!problem_.empty())
    hint = tr("The list can't be saved: %1").arg(QString::fromStdString(problem_));
  else
    hint =
        tr("A shape lasts from its first keyframe to its last and moves in a straight line between them. "
           "Video exports apply the list; clips and snapshots stay as recorded.");
  editor_->Show(list_, hint);
  for (RedactionOverlay* o : overlays_)
    if (o) o->update();
}

RedactionEditorDialog* RedactionController::Editor() const {
  return editor_;
}
