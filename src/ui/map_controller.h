#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>
#include <utility>

class CMappingDlg;
class QWidget;

// The window's map: the map window that follows the vehicle, the proxy
// settings that renew it, and its part of the window's tick (feeding the
// position, dropping a map window the user closed).
class MapController : public QObject {
  Q_OBJECT
 public:
  // The recording whose track and cache file the map uses: "" for none and
  // for a live stream.
  using RecordingOf = std::function<std::string()>;
  // The banner's latitude and longitude texts ("" while unknown).
  using PositionOf = std::function<std::pair<std::string, std::string>()>;
  // The map window is a child window of `window`: it goes with it.
  MapController(QWidget& window, RecordingOf recording, PositionOf position);

  CMappingDlg* Dialog() const;
  bool IsOpen() const;
  void Toggle();
  void ShowProxySettings();
  // An open map window is made again for what the window now shows.
  void Renew();
  // One tick of the window's timer.
  void Tick();

 signals:
  // Whether a map window is open, for the Map button; on every change and tick.
  void OpenChanged(bool open);

 private:
  void Open();
  void Drop();

  QWidget& window_;
  RecordingOf recording_;
  PositionOf position_;
  QPointer<CMappingDlg> dialog_;
};
