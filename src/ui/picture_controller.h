#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <string>

#include "ui/core/picture_adjustment.h"

class PictureAdjustmentDialog;
class PlaybackEngine;
class QAction;
class QMenu;
class QWidget;
class VideoPane;

// The window's digital zoom and picture adjustment commands, and its
// snapshots. Each pane keeps its own zoom, which goes back to 1x when the
// pane is given another camera; adjustments belong to the camera and last
// for the session, whatever pane shows it. Commands for "this camera" act on
// the pane last clicked or wheeled over, else the first one shown.
//
// Snapshots are of the frame as recorded: neither zoom nor adjustment
// changes them, unless the user asks for the zoomed area (Snapshot of
// Zoomed Area) or turns on Snapshots with Picture Adjustments.
//
// Threads: the window thread only.
class PictureController : public QObject {
  Q_OBJECT
 public:
  using EngineOf = std::function<PlaybackEngine*()>;
  using ChannelOfPane = std::function<int(int pane)>;
  using Allowed = std::function<bool()>;
  // The shortcuts are `window`'s; the items go at the end of `menu` (none
  // when null). `canSnapshot` says whether a snapshot may be taken now.
  PictureController(QWidget& window, QMenu* menu, std::array<VideoPane*, 4> panes, EngineOf engine,
                    ChannelOfPane channelOfPane, Allowed canSnapshot);

  // The shortcuts of these commands, a "  KEY\tWhat it does\n" line each,
  // for the About box.
  static std::string ShortcutLines();

  // The window gave its panes other cameras (a view change, an open).
  void Arranged();

  // Asks for a file and writes camera `channel`'s frame to it: the whole
  // frame, or the part `zoomed` shows (a pane of that camera); adjusted when
  // the user asked for adjusted snapshots. JPEG, or PNG for a .png name.
  void SaveSnapshot(int channel, const VideoPane* zoomed);

  // The zoomed area of the pane commands act on.
  void SaveZoomedSnapshot();
  void ResetZoom();
  void ShowAdjustments();

  const PictureAdjustment& Adjustment(int channel) const { return adjustments_[size_t(channel)]; }
  void SetAdjustment(int channel, const PictureAdjustment& adjustment);
  bool AdjustedSnapshots() const;
  VideoPane* ActivePane() const;
  int ActiveChannel() const;
  // The Picture Adjustments dialog once it was opened, else null.
  PictureAdjustmentDialog* Dialog() const;

 private:
  void Step(AdjustmentControl control, int direction);
  void ShowPaneAdjustments();

  QWidget& window_;
  std::array<VideoPane*, 4> panes_;
  EngineOf engine_;
  ChannelOfPane channelOfPane_;
  Allowed canSnapshot_;
  std::array<PictureAdjustment, 4> adjustments_{};
  std::array<int, 4> paneChannel_{-1, -1, -1, -1};  // as last arranged
  int touched_ = -1;                                // the pane last pointed at
  QAction* adjustedSnapshots_ = nullptr;
  QPointer<PictureAdjustmentDialog> dialog_;
};
