#pragma once

#include <QObject>
#include <functional>
#include <memory>

class CVideoClipExtractDlg;
class PlaybackEngine;

// The window's clip extraction: the Extract Video Clip window over the open
// recording, kept at the playing position on the window's tick.
class ClipExtractionController : public QObject {
  Q_OBJECT
 public:
  using EngineOf = std::function<PlaybackEngine*()>;
  // Whether the recording keeps each camera in a stream of its own (not the
  // two-channel stacked or text-line layouts).
  using SeparateCamerasOf = std::function<bool()>;
  ClipExtractionController(EngineOf engine, SeparateCamerasOf separateCameras);
  ~ClipExtractionController() override;

  // The clip window, or null.
  CVideoClipExtractDlg* Dialog() const { return dialog_.get(); }
  // An extraction is being written.
  bool Running() const;
  // Opens the clip window on the open recording, or closes it.
  void Toggle();
  // One tick of the window's timer.
  void Tick();

 signals:
  // Whether the clip window is shown, for the Clip button.
  void ShownChanged(bool shown);

 private:
  struct DialogDeleter {
    void operator()(CVideoClipExtractDlg* dialog) const;
  };

  EngineOf engine_;
  SeparateCamerasOf separateCameras_;
  std::unique_ptr<CVideoClipExtractDlg, DialogDeleter> dialog_;
};
