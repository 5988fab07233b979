#include "ui/picture_controller.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "avi/output_guard.h"
#include "engine/pipeline/playback_engine.h"
#include "snapshot/jpeg_file.h"
#include "snapshot/snapshot_image.h"
#include "ui/core/window_messages.h"
#include "ui/message_box.h"
#include "ui/picture_adjustment_dialog.h"
#include "ui/save_file_chooser.h"
#include "ui/video_pane.h"
#include "ui/window_action.h"

namespace {

// The quality of every snapshot the player writes as JPEG.
constexpr int kSnapshotQuality = 75;

bool HasPngSuffix(const std::string& path) {
  return QString::fromStdString(path).endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
}

// The frame pixels `pane` shows, as a rectangle of a snapshot image of
// width × rows made from the same frame (rows doubled for some recorders).
PixelRect SnapshotArea(const VideoPane& pane, int width, int rows) {
  const QSize frame = pane.Frame().size();
  if (frame.isEmpty()) return {};
  const PixelRect r = pane.ShownFramePixels();
  return {int(int64_t(r.left) * width / frame.width()), int(int64_t(r.top) * rows / frame.height()),
          int(int64_t(r.right) * width / frame.width()), int(int64_t(r.bottom) * rows / frame.height())};
}

}  // namespace

PictureController::PictureController(QWidget& window, QMenu* menu, std::array<VideoPane*, 4> panes,
                                     EngineOf engine, ChannelOfPane channelOfPane, Allowed canSnapshot)
    : QObject(&window),
      window_(window),
      panes_(panes),
      engine_(std::move(engine)),
      channelOfPane_(std::move(channelOfPane)),
      canSnapshot_(std::move(canSnapshot)) {
  for (VideoPane* pane : panes_)
    connect(pane, &VideoPane::Touched, this, [this](int index) { touched_ = index; });
  if (menu) menu->addSeparator();
  connect(AddWindowAction(window, menu, "resetZoom", tr("Reset Zoom"), QKeySequence(Qt::Key_Z)),
          &QAction::triggered, this, &PictureController::ResetZoom);
  connect(AddWindowAction(window, menu, "zoomedSnapshot", tr("Snapshot of Zoomed Area..."),
                          QKeySequence(QStringLiteral("Ctrl+Shift+S"))),
          &QAction::triggered, this, &PictureController::SaveZoomedSnapshot);
  connect(AddWindowAction(window, menu, "pictureAdjustments", tr("Picture A&djustments..."),
                          QKeySequence(QStringLiteral("Ctrl+J"))),
          &QAction::triggered, this, &PictureController::ShowAdjustments);
  QMenu* steps = menu ? menu->addMenu(tr("Ad&just Picture")) : nullptr;
  if (steps) steps->setObjectName(QStringLiteral("adjustPictureMenu"));
  const struct {
    const char* name;
    const char* text;
    Qt::Key key;
    AdjustmentControl control;
    int direction;
  } keys[] = {
      {"lessContrast", "Less Contrast", Qt::Key_1, AdjustmentControl::kContrast, -1},
      {"moreContrast", "More Contrast", Qt::Key_2, AdjustmentControl::kContrast, 1},
      {"darker", "Darker", Qt::Key_3, AdjustmentControl::kBrightness, -1},
      {"brighter", "Brighter", Qt::Key_4, AdjustmentControl::kBrightness, 1},
      {"lessGamma", "Less Gamma", Qt::Key_5, AdjustmentControl::kGamma, -1},
      {"moreGamma", "More Gamma", Qt::Key_6, AdjustmentControl::kGamma, 1},
  };
  for (const auto& k : keys) {
    const AdjustmentControl control = k.control;
    const int direction = k.direction;
    connect(AddWindowAction(window, steps, k.name, tr(k.text), QKeySequence(k.key)), &QAction::triggered,
            this, [this, control, direction] { Step(control, direction); });
  }
  connect(AddWindowAction(window, steps, "resetPicture", tr("Reset Picture"), QKeySequence(Qt::Key_0)),
          &QAction::triggered, this, [this] {
            if (const int c = ActiveChannel(); c >= 0) SetAdjustment(c, PictureAdjustment{});
          });
  adjustedSnapshots_ =
      AddWindowAction(window, menu, "adjustedSnapshots", tr("Snapshots with Pi&cture Adjustments"));
  adjustedSnapshots_->setCheckable(true);
  Arranged();
}

std::string PictureController::ShortcutLines() {
  // The mouse's gestures; the keys of the controller's actions are listed
  // with the window's other actions.
  return "  Wheel\tZoom the camera about the pointer\n  Drag\tPan the zoomed camera\n"
         "  Ctrl+double-click\tReset Zoom\n";
}

void PictureController::Arranged() {
  for (size_t k = 0; k < panes_.size(); ++k) {
    const int channel = channelOfPane_(int(k));
    // Another camera in the pane: the old zoom would frame a spot of a
    // picture no longer there.
    if (channel != paneChannel_[k]) panes_[k]->ResetZoom();
    paneChannel_[k] = channel;
  }
  ShowPaneAdjustments();
}

void PictureController::ShowPaneAdjustments() {
  for (size_t k = 0; k < panes_.size(); ++k) {
    const int channel = paneChannel_[k];
    panes_[k]->SetAdjustment(channel >= 0 && channel < 4 ? adjustments_[size_t(channel)]
                                                         : PictureAdjustment{});
  }
}

VideoPane* PictureController::ActivePane() const {
  if (touched_ >= 0 && panes_[size_t(touched_)]->isVisible()) return panes_[size_t(touched_)];
  for (VideoPane* pane : panes_)
    if (pane->isVisible()) return pane;
  return nullptr;
}

int PictureController::ActiveChannel() const {
  const VideoPane* pane = ActivePane();
  const int channel = pane ? channelOfPane_(pane->Index()) : -1;
  return channel >= 0 && channel < 4 ? channel : -1;
}

PictureAdjustmentDialog* PictureController::Dialog() const {
  return dialog_;
}

bool PictureController::AdjustedSnapshots() const {
  return adjustedSnapshots_->isChecked();
}

void PictureController::SetAdjustment(int channel, const PictureAdjustment& adjustment) {
  if (channel < 0 || channel > 3) return;
  adjustments_[size_t(channel)] = ClampedAdjustment(adjustment);
  ShowPaneAdjustments();
  if (dialog_ && dialog_->Channel() == channel) dialog_->Show(channel, adjustments_[size_t(channel)]);
}

void PictureController::Step(AdjustmentControl control, int direction) {
  const int channel = ActiveChannel();
  if (channel >= 0)
    SetAdjustment(channel, SteppedAdjustment(adjustments_[size_t(channel)], control, direction));
}

void PictureController::ResetZoom() {
  for (VideoPane* pane : panes_) pane->ResetZoom();
}

void PictureController::ShowAdjustments() {
  if (!dialog_) {
    dialog_ = new PictureAdjustmentDialog(&window_);
    connect(dialog_, &PictureAdjustmentDialog::Changed, this, &PictureController::SetAdjustment);
    connect(dialog_, &PictureAdjustmentDialog::CameraChosen, this,
            [this](int channel) { dialog_->Show(channel, adjustments_[size_t(channel)]); });
  }
  const int channel = std::max(ActiveChannel(), 0);
  dialog_->Show(channel, adjustments_[size_t(channel)]);
  dialog_->show();
  dialog_->raise();
}

void PictureController::SaveZoomedSnapshot() {
  const VideoPane* pane = ActivePane();
  if (!pane || !canSnapshot_()) return;
  const int channel = channelOfPane_(pane->Index());
  if (channel >= 0 && channel < 4) SaveSnapshot(channel, pane);
}

void PictureController::SaveSnapshot(int channel, const VideoPane* zoomed) {
  if (channel < 0 || channel > 3 || !engine_()) return;
  const std::optional<std::string> path = ChooseSaveFile(&window_, kSnapshotFilter, kSnapshotDefaultSuffix);
  // The recording may have gone while the dialog was up.
  PlaybackEngine* engine = engine_();
  if (!path || !engine) return;
  std::vector<std::string> sources;
  for (const SequenceFile& f : engine->Files()) sources.push_back(f.path);
  if (const avi::OutputRefusal refusal = avi::RefuseOutputs({*path}, sources)) {
    return ShowPlayerMessage(
        &window_, std::string(kSnapshotErrorMessage) + "\n" + refusal.output + ": " + refusal.reason);
  }
  std::vector<uint8_t> image;
  int width = 0, rows = 0;
  if (!engine->SnapshotImage(channel, image, width, rows))
    return ShowPlayerMessage(&window_, kSnapshotErrorMessage);
  if (zoomed) {
    const PixelRect area = SnapshotArea(*zoomed, width, rows);
    image = CropSnapshotImage(image, width, rows, area.left, area.top, area.width(), area.height());
    width = area.width();
    rows = area.height();
    if (image.empty()) return ShowPlayerMessage(&window_, kSnapshotErrorMessage);
  }
  if (AdjustedSnapshots() && !adjustments_[size_t(channel)].IsNeutral())
    ApplyToneTableRgb(BuildToneTable(adjustments_[size_t(channel)]), image.data(), image.size());
  const bool written = HasPngSuffix(*path)
                           ? QImage(image.data(), width, rows, width * 3, QImage::Format_RGB888)
                                 .save(QString::fromStdString(*path), "PNG")
                           : WriteJpegFile(path->c_str(), image.data(), width, rows, kSnapshotQuality);
  if (!written) ShowPlayerMessage(&window_, kSnapshotErrorMessage);
}
