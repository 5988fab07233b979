#pragma once

#include <QDialog>
#include <QImage>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "map/map_fetcher.h"

class QLineEdit;
class QPushButton;
class QWidget;

// The "Mapping" window: the map around the vehicle at 400 × 400 under a row
// with the zoom buttons "+" and "-" and the zoom shown beside "Zoom:", the
// recording's whole track and the vehicle's position drawn over it, and the
// status text ("No Map Tile Available", "Proxy Error") over the map while
// there is no map to show.
//
// It reads the map source and proxy settings once, when it is made; the map
// cache file is the recording's (MapCachePath). Its fetch thread (MapFetcher)
// does every request and hands pictures back by queued signal; the track is
// scanned from the recording's metadata once, on a thread of its own.
//
// Threads: every member on the window thread. Closing or destroying the
// window cancels a request in flight and the track scan and joins both.
//
// Widgets carry object names for tests: "zoomIn", "zoomOut", "zoomDisplay",
// "status", "map".
class CMappingDlg : public QDialog {
  Q_OBJECT
 public:
  // `recordingPath`: the open recording (or the first file of its run); ""
  // for a live stream (no cache file, no track).
  explicit CMappingDlg(const std::string& recordingPath, QWidget* parent = nullptr);
  ~CMappingDlg() override;

  // The vehicle's position in decimal degrees; exactly 0 (no fix) is ignored.
  void SetPosition(double latitude, double longitude);

  int Zoom() const { return zoom_; }
  // What the window shows, for tests.
  QString ZoomText() const;
  QString StatusText() const;
  bool StatusShown() const;
  const QImage& Picture() const { return picture_; }
  const MapFetcher& Fetcher() const { return *fetcher_; }
  bool TrackLoaded() const { return trackLoaded_; }
  int PicturesShown() const { return picturesShown_; }  // results of the fetch thread shown

 signals:
  // A picture (or a status) from the fetch thread reached the window.
  void PictureShown();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ZoomBy(int step);
  void OnPicture(const QImage& image, int status, int zoom);
  void StopWork();

  int zoom_ = kStartZoom;
  int picturesShown_ = 0;
  QImage picture_;
  QPushButton* zoomIn_ = nullptr;
  QPushButton* zoomOut_ = nullptr;
  QLineEdit* zoomDisplay_ = nullptr;
  QLineEdit* status_ = nullptr;
  QWidget* map_ = nullptr;
  std::unique_ptr<MapFetcher> fetcher_;
  std::atomic<bool> cancelTrack_{false};
  std::atomic<bool> trackLoaded_{false};
  std::thread trackThread_;
};
