#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/pipeline/engine_config.h"
#include "engine/pipeline/engine_events.h"
#include "engine/video_view.h"
#include "live/live_session.h"
#include "metadata/dvr_layout.h"
#include "metadata/metadata_listener.h"
#include "ui/core/banner_board.h"
#include "ui/core/open_plan.h"
#include "ui/core/status_text.h"
#include "ui/core/video_layout.h"
#include "ui/engine_forwarder.h"
#include "ui/frame_relay.h"

class CVideoClipExtractDlg;
class QMenu;
struct CommandInfo;
class CMappingDlg;
class PlaybackEngine;
class PleaseWaitDialog;
class LibraryDialog;
class QAction;
class QMimeData;
class QPushButton;
class QSlider;
class TimelineController;
class TimelineStrip;
class RedactionController;
class VideoPane;
class ClipExtractionController;
class EvidenceController;
class FrameStepController;
class LiveController;
class MapController;
class SpeedController;
class GoToController;
class PictureController;
class BookmarkController;
class UnitsClockController;

// The player's main window: menu, control bar, position slider, four video
// panes, banner strips and status strip, driving one PlaybackEngine.
//
// Threads: the window lives on the GUI thread. Opening runs the engine's
// OpenSequence on a worker thread and takes the result back by a queued
// call; engines are closed on worker threads too, so the window never waits
// for a pipeline to build or to shut down. Each engine reports through a
// forwarder of its own (EngineForwarder) that is retired with the engine:
// its EngineEvents reach the window on the window thread, its metadata the
// banner board on the streaming threads, under the board's lock.
// The window's size, position and maximised state (Qt's saved geometry, base64).
inline constexpr const char* kWindowPlacementSetting = "WindowPlacement";

class CQMXPlayerDlg : public QMainWindow, public CMetadataInterface, public EngineEvents {
  Q_OBJECT
 public:
  // `engineConfig` sets up every engine the window makes (the
  // "exportfiltergraph" switch, the audio output).
  explicit CQMXPlayerDlg(std::string brand, EngineConfig engineConfig = {}, QWidget* parent = nullptr);
  ~CQMXPlayerDlg() override;

  // Runs a command of the menu or the bar by its menu id (ui/core/commands.h)
  // or its button id (ui/core/window_controls.h), as a click would: a bar
  // button's check state flips first.
  void RunCommand(int id);
  // Opens `path` as the command line or a dropped file does (mode 1), or
  // with the open dialog when `path` is empty.
  void OpenRecording(const std::string& path, OpenMode mode = OpenMode::kSequences);
  // Opens the first of the files dropped on the window; false when the drop
  // holds no local file.
  bool OpenDropped(const QMimeData& data);
  // One tick of the 150 ms timer.
  void OnTick();
  // Opens a live stream to `address` as Open Stream does once its dialog
  // returned (an empty address only closes what is open).
  void OpenStream(const std::string& address);
  LiveSession* Live() const;  // the live session, or null
  // A position slider notification (what a drag or a page click gives).
  void OnSliderScroll(SliderEvent event, int thumb);

  // CMetadataInterface, on streaming threads: the live session's way in.
  void OnMetadata(const char* sourceName, const char* label, const char* text) override;
  // EngineEvents, on the window thread (an engine's forwarder hands them over).
  void OnPlaybackError(int fileIndex, const std::string& message) override;
  void OnFileChanged(int fileIndex) override;
  void OnEndOfRecording() override;

  // Moves the open recording to `centis` on its timeline (qmxplayer FILE --at POS, the library).
  void GoToCentis(int64_t centis) { SeekToCentis(centis); }

  // What tests and the demo look at.
  bool IsOpening() const { return openThread_.joinable(); }
  // Engines closed that are still being torn down.
  int EnginesClosing() const;
  PlaybackEngine* Engine() const { return playback_.get(); }
  // The way the engine shown reports to the window; it stays the way of
  // that engine after the engine is closed.
  std::shared_ptr<EngineForwarder> EngineListener() const;
  QPushButton* Button(int id) const;
  QAction* Action(int id) const;
  QSlider* Slider() const { return slider_; }
  QSlider* VolumeSlider() const { return volume_; }
  QPushButton* MuteButton() const { return mute_; }
  bool Muted() const { return muted_; }
  // The time the slider's tooltip shows for the mouse at slider x `x`.
  QString SliderTimeAt(int x) const;
  TimelineStrip* Timeline() const;
  VideoPane* Pane(int index) const { return panes_[index]; }
  RedactionController* Redactions() const { return redactions_; }
  std::string StatusLine() const;
  std::string TimeText() const;
  // What the last paint drew: the status text as elided, whether the
  // banner lines were drawn.
  const std::string& StatusDrawn() const { return statusDrawn_; }
  bool BannerDrawn() const { return bannerDrawn_; }
  std::array<std::string, 4> BannerLines() const { return banner_.Lines(); }
  const VideoAreaLayout& VideoLayout() const { return video_; }
  bool BannerOn() const { return bannerOn_; }
  bool FullScreenOn() const { return fullScreen_; }
  // Full screen on or off: only the pictures and the banner show.
  void SetFullScreen(bool on);
  bool OverlayOn() const { return overlayOn_; }
  int ScanSpeed() const { return scanSpeed_; }
  // Frames handed to the panes since the window was made.
  long long FramesShown() const { return framesShown_; }
  const std::string& DisplayName() const { return displayName_; }
  CVideoClipExtractDlg* ClipDialog() const;  // the clip window, or null
  CMappingDlg* MapDialog() const;            // the map window, or null
  QMenu* RecentMenu() const { return recentMenu_; }
  PictureController* Picture() const { return picture_; }
  BookmarkController* Bookmarks() const { return bookmarks_; }
  UnitsClockController* UnitsClock() const { return unitsClock_; }

 signals:
  // An open finished (successfully or not) and the window shows its result.
  void OpenFinished(int resultCode);
  // An open failed; sent before the window tells why in a modal box, so a
  // scripted run can go on while the box waits for a click.
  void OpenFailed(int resultCode);
  // One tick of the 150 ms timer: the features keep their windows and
  // strips current on it.
  void Ticked();
  // The menu's states were brought up to date: the features update theirs.
  void MenuStateUpdated();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // What the window knows of each channel of the open recording.
  struct ChannelFacts {
    bool present = false;      // it has a video stream
    std::pair<int, int> size;  // the first file's picture size
    double statedAspect = 0;   // the display aspect its header states, 0 for none
  };
  struct OpenOutcome;
  std::array<bool, 4> ChannelsPresent() const;

  // Construction (player_window.cpp).
  void BuildMenu();
  void BuildControls();
  void InitialControlStates();
  void SetButtonEnabled(int id, bool on);
  void SetButtonChecked(int id, bool on);
  void SetButtonVisible(int id, bool on);
  bool IsChecked(int id) const;

  // Layout and painting (player_window_view.cpp).
  void OnCanvasResize(int width, int height);
  void ApplySize(int width, int height);
  void LayoutVideoArea();
  void PaintCanvas(QPainter& p);
  void InvalidateStrips();
  void ShowFrames();
  void ArrangePanes();
  // Tells the engine the size each channel's picture is shown at.
  void ApplyShownSizes();
  // Paused, no frame follows: panes showing channel c whose reduced picture
  // is smaller than `shown` now (a zoom, a larger window) get the recorded
  // frame at once.
  void GiveFullFrames(int c, QSize shown);
  double ShownPictureAspect() const;
  void OnPaneDoubleClicked(int index);
  void RestoreWindowPlacement();
  void SaveWindowPlacement();
  // File > Open Recent (player_window_recent.cpp).
  void AddRecentMenu();
  void FillRecentMenu();
  // False when the user keeps the player open (a clip extraction is running).
  bool ConfirmQuit();

  // Commands (player_window_commands.cpp).
  void Play();
  void Pause();
  void Stop();
  void Skip(int direction);
  void ScanStep();
  void CloseRecording();
  void SelectView(VideoView view);
  void StreamCommand(int channel);
  void ConfigureAudio();
  void ApplyAudioSettings();
  void SetDisplayMode(MetadataDisplay mode);
  void ToggleDeinterlace();
  void TakeSnapshot();
  void ToggleHideInterface();
  void VideoSizeOneToOne();
  void ShowProperties();
  void ShowAbout();
  // The volume and mute controls of the bar (player_window_volume.cpp).
  void BuildVolumeControls();
  void PlaceVolumeControls(bool barHidden);
  void SetViewVolume(int percent);
  void ToggleMute();
  void SyncVolumeControls();
  // The stored volumes given to the engine and the live session, or
  // silence while muted.
  void ApplyVolumes();
  void UpdateMenuState();
  VideoView CurrentView() const;
  // Whether each of the view buttons "1".."4" is checked.
  std::array<bool, 4> ViewButtonsChecked() const;

  // A menu item for command `c` at the end of `menu`, run through RunCommand.
  QAction* AddCommandAction(QMenu* menu, const CommandInfo& c);
  // The incident timeline (player_window_timeline.cpp).
  void BuildTimeline();
  void SeekToCentis(int64_t centis);
  int TimelineHeight() const;
  void LayoutTimeline();
  void UpdateTimelineMenu();
  // The mouse wheel over the slider or the strip: one step later (+1) or earlier.
  void WheelStep(int direction);
  // The feature controllers and their wiring (player_window_features.cpp).
  void MakeFeatureControllers();
  void AddEvidenceCommands();
  // File > Export Incident Report... (player_window_report.cpp).
  void AddReportCommand();
  void ExportReportCommand();
  // File > Export Video... (player_window_video_export.cpp).
  void AddVideoExportCommand();
  // File > Library... (player_window_library.cpp).
  void AddLibraryCommand();
  void LibraryCommand();
  void ExportVideoCommand();
  // Two-channel conversion (player_window_clip.cpp).
  void ShowConversion();
  void AddConversionMenuEntry();
  // Live viewing (player_window_live.cpp).
  void OpenStreamCommand();

  // Opening (player_window_open.cpp).
  void FinishOpen(std::shared_ptr<OpenOutcome> outcome);
  // Makes an engine that feeds the panes through a feed of its own.
  std::unique_ptr<PlaybackEngine> MakeEngine();
  // Closes `engine` off this thread; no frame, metadata or news of it
  // reaches the window any more.
  void RetireEngine(std::unique_ptr<PlaybackEngine> engine);
  // A metadata sample of the source holding `ticket`, on a streaming thread.
  void ShowMetadata(uint64_t ticket, const char* sourceName, const char* label, const char* text);
  void SetTitle(const std::string& title);

  const std::string brand_;
  const EngineConfig engineConfig_;
  CapturedLayout captured_;
  VideoAreaLayout video_;

  QWidget* canvas_ = nullptr;  // the client area: panes, bar, strips
  std::array<VideoPane*, 4> panes_{};
  QSlider* slider_ = nullptr;
  QSlider* volume_ = nullptr;
  QPushButton* mute_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  bool muted_ = false;
  int wheelAngle_ = 0;  // eighths of a degree over the slider not yet stepped
  std::unique_ptr<TimelineController> timeline_;
  std::unordered_map<int, QPushButton*> buttons_;
  std::unordered_map<int, QAction*> actions_;
  QTimer timer_;
  FrameRelay relay_;
  PleaseWaitDialog* pleaseWait_ = nullptr;

  std::unique_ptr<PlaybackEngine> playback_;
  std::unique_ptr<ClipExtractionController> clip_;
  QPointer<LibraryDialog> libraryDialog_;    // made on first use, a child window
  std::unique_ptr<MapController> map_;       // its map window is a child window: goes with the main window
  std::unique_ptr<PlaybackEngine> opening_;  // the engine being opened on openThread_
  std::thread openThread_;
  // Engines being closed, each with its thread and a flag set when it is done.
  struct Retiree {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::vector<Retiree> retired_;
  // Each engine's ways into relay_ and to the window, kept until the engine is gone.
  struct EngineLinks {
    std::unique_ptr<FrameRelay::Feed> frames;
    std::shared_ptr<EngineForwarder> news;
  };
  std::unordered_map<const PlaybackEngine*, EngineLinks> links_;

  // Recording facts taken once an open succeeds (the engine's own calls
  // take its lock, which a paint must not wait for).
  DvrLayout dvrKind_ = DvrLayout::kFourChannel;
  std::array<ChannelFacts, 4> channels_{};
  std::array<int, 4> paneChannel_{0, 1, 2, 3};  // which channel each pane shows

  std::string currentPath_;
  std::string displayName_;
  std::string statusText_;
  int scanSpeed_ = 0;
  bool scanActive_ = false;
  bool scanMuted_ = false;
  int scanTicks_ = 0;
  bool overlayOn_ = false;
  bool bannerOn_ = true;
  MetadataDisplay displayMode_ = MetadataDisplay::kBanner;  // the radio group's choice
  bool interfaceHidden_ = false;
  bool fullScreen_ = false;
  bool wasMaximized_ = false;  // before full screen
  QRect normalGeometry_;       // before full screen
  bool soloFromQuad_ = false;  // a double-click in quad showed one camera
  double laidOutAspect_ = 0;
  std::string statusDrawn_;
  bool bannerDrawn_ = false;  // the picture aspect the video area was laid out for
  bool dialogReady_ = false;
  bool repaintVideoArea_ = false;
  SliderDrag drag_;
  std::optional<std::pair<int, int>> pendingResize_;
  int clientWidth_ = 0, clientHeight_ = 0;
  int extraHeight_ = 0;
  std::vector<int> reportedErrors_;
  long long framesShown_ = 0;  // file indexes whose failure was shown

  // Read by OnMetadata's source filter on streaming threads.
  std::atomic<bool> hasPlayback_{false};
  std::atomic<int> metadataChannel_{1};
  std::atomic<DvrLayout> filterDvrKind_{DvrLayout::kFourChannel};
  std::mutex titleLock_;  // guards bannerTitle_
  std::string bannerTitle_;
  BannerBoard banner_;
  QAction* actionReport_ = nullptr;
  SpeedController* speed_ = nullptr;  // children of the window
  FrameStepController* frameStep_ = nullptr;
  GoToController* goTo_ = nullptr;
  PictureController* picture_ = nullptr;
  RedactionController* redactions_ = nullptr;
  BookmarkController* bookmarks_ = nullptr;
  UnitsClockController* unitsClock_ = nullptr;
  std::unique_ptr<EvidenceController> evidence_;  // near the end: its job ends before the rest goes
  // Last: it feeds relay_ and the banner until it is gone.
  std::unique_ptr<LiveController> live_;
};
