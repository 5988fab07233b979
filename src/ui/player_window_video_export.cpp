// The window's video export: File > Export Video..., beside Extract Video
// Clip. The dialog runs the export on its own worker thread.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include "base/settings.h"
#include "clip/extraction_plan.h"
#include "engine/camera_streams.h"
#include "engine/pipeline/playback_engine.h"
#include "ui/clip_extract_dialog.h"
#include "ui/core/commands.h"
#include "ui/core/menu_state.h"
#include "ui/player_window.h"
#include "ui/redaction_controller.h"
#include "ui/video_export_dialog.h"

namespace {

constexpr int64_t kDefaultExportCentis = 6000;

}  // namespace

void CQMXPlayerDlg::AddVideoExportCommand() {
  QAction* clip = Action(kCmdExtractClip);
  for (QAction* popup : menuBar()->actions()) {
    QMenu* menu = popup->menu();
    if (!menu || !clip || !menu->actions().contains(clip)) continue;
    const QList<QAction*> items = menu->actions();
    // After the clip and its evidence package, the derivatives' place.
    qsizetype at = items.indexOf(clip) + 1;
    if (at < items.size() && items[at]->objectName() == QStringLiteral("exportEvidence")) ++at;
    QAction* video = new QAction(QStringLiteral("Export Video..."), menu);
    video->setObjectName(QStringLiteral("exportVideo"));
    menu->insertAction(at < items.size() ? items[at] : nullptr, video);
    connect(video, &QAction::triggered, this, [this] { ExportVideoCommand(); });
  }
}

void CQMXPlayerDlg::ExportVideoCommand() {
  if (!playback_ || currentPath_.empty()) return;
  video_export::VideoExportRequest base;
  for (const SequenceFile& f : playback_->Files())
    base.files.push_back({f.path, f.videoStreams, f.start, f.end});
  base.dvrKind = dvrKind_;
  base.fastDeinterlace = FastDeinterlaceOn(ReadSetting("FastDeinterlace"));
  base.recordingName = std::filesystem::path(currentPath_).filename().string();
  // The redactions drawn for this recording, named in the export.
  base.redactions = redactions_->List();
  base.redactionListName = redactions_->ListName();
  base.redactionListSha256 = redactions_->ListSha256();
  // The sound the view plays: the first camera routed to it.
  const VideoView view = CurrentView();
  const ChannelResults shown = playback_->Channels();
  for (int c = 0; c < 4 && base.audioCamera < 0; ++c)
    if (playback_->GetAudioRoute(view, c) && shown[std::size_t(c)].audio) base.audioCamera = c;
  const int64_t total = playback_->GetTotal();
  int64_t from = playback_->GetPositionCentis(), to = std::min(total, from + kDefaultExportCentis);
  // The clip window's marks, when both are set, as an extraction would take them.
  if (CVideoClipExtractDlg* marks = ClipDialog();
      marks && marks->StartPosition() >= 0 && marks->EndPosition() >= 0) {
    from = marks->StartPosition();
    to = marks->EndPosition();
  }
  std::array<bool, 4> cameras{};
  const std::array<bool, 4> present =
      base.files.empty() ? std::array<bool, 4>{} : CamerasWithVideo(base.files[0].path);
  for (int c = 0; c < 4; ++c)
    cameras[std::size_t(c)] = channels_[std::size_t(c)].present &&
                              clip::CameraOffered(dvrKind_ == DvrLayout::kFourChannel, present, c);
  VideoExportDialog dialog(std::move(base), from, to, total, cameras, this);
  dialog.exec();
}
