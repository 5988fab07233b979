#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "map/map_fetcher.h"

// The Library dialog's map of its results: the tile source's map (fetched
// and cached by a MapFetcher, as the map window's is) with a marker for
// every result that has a position, fitted to them, the searched place as a
// circle of its radius, and the chosen result's marker highlighted. A drag
// pans, the wheel zooms about the pointer. A click on a marker tells which
// (a double-click too); in picking mode a click tells the position instead.
//
// Without a map (no network, a server that fails) the view stays grey and
// the marks are drawn all the same, with the map's status text over it.
//
// The map source and proxy settings are read each time the map is shown;
// a hidden map asks for nothing.
//
// Threads: every member on the window thread; pictures come from the fetch
// thread by queued signal, and hiding or destroying the map joins that
// thread.
class LibraryMap : public QWidget {
  Q_OBJECT
 public:
  struct Marker {
    GeoPoint at;
    int id = 0;  // the caller's name for it: what MarkerClicked hands back
  };

  explicit LibraryMap(QWidget* parent = nullptr);
  ~LibraryMap() override;

  // Shows these markers and fits the view to them and the place.
  void SetMarkers(std::vector<Marker> markers);
  void SetSelected(std::optional<int> id);
  // The searched place and its radius in metres; none hides the circle.
  void SetPlace(std::optional<GeoPoint> place, double metres);
  void SetPicking(bool picking);
  // Fits the view to the markers and the place again.
  void Fit();

  const std::vector<Marker>& Markers() const { return markers_; }
  std::optional<int> Selected() const { return selected_; }
  bool Picking() const { return picking_; }
  int Zoom() const { return zoom_; }
  // Where a position lies in the widget, and the position at a pixel.
  QPointF PixelOf(const GeoPoint& point) const;
  GeoPoint PositionAt(const QPointF& pixel) const;
  // The map status text shown ("" while the map is whole), for tests.
  QString StatusText() const { return statusText_; }

  QSize sizeHint() const override { return {640, 560}; }

 signals:
  void MarkerClicked(int id);
  void MarkerDoubleClicked(int id);
  void PlacePicked(double latitude, double longitude);

 protected:
  void showEvent(QShowEvent*) override;
  void hideEvent(QHideEvent*) override;
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void Ask();
  void OnPicture(const QImage& image, int status, int zoom, double latitude, double longitude);
  std::optional<int> MarkerAt(const QPointF& pixel) const;
  double PlaceRadiusPixels() const;

  std::unique_ptr<MapFetcher> fetcher_;
  std::vector<Marker> markers_;
  std::optional<int> selected_;
  std::optional<GeoPoint> place_;
  double metres_ = 0;
  bool picking_ = false;
  // The view: none until there is something to show.
  std::optional<GeoPoint> centre_;
  int zoom_ = kStartZoom;
  bool fitted_ = true;  // the view follows the marks until the user moves it
  // The newest picture and the view it was composed for.
  QImage picture_;
  GeoPoint pictureCentre_;
  int pictureZoom_ = -1;
  QString statusText_;
  // A press: where, and the centre then; a drag once it moved far enough.
  std::optional<QPointF> pressedAt_;
  GeoPoint pressedCentre_;
  bool dragging_ = false;
};
