#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

#include "library/library_store.h"

class LibraryController;
class LibraryMap;
class QComboBox;
class QDoubleSpinBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

// File > Library...: a search of the fleet library (DVR title, time range,
// event kind, a place with a radius, only recordings with findings) and its
// results (recording, time, event, place; sortable) beside a map of them on
// the tile source; a double-click (on its row or its marker) opens the
// recording at the result's position. The list and the map share the chosen result. The place is
// typed or picked on the map ("Pick on Map", then a click), and its radius
// is drawn there. Index Folder... adds a folder's recordings with a progress
// bar and Cancel. The work runs in the controller's worker thread.
class LibraryDialog : public QDialog {
  Q_OBJECT
 public:
  explicit LibraryDialog(LibraryController& controller, QWidget* parent = nullptr);

  // The query the form describes; false with `error` set for a bad field.
  bool Query(library::SearchQuery& query, QString& error) const;
  void RunSearch();
  void StartIndexing(const QString& folder);
  QTableWidget* Results() const { return results_; }
  QLabel* Status() const { return status_; }
  LibraryMap* Map() const { return map_; }

 signals:
  void OpenRequested(const QString& path, qint64 centis);

 private:
  void ShowHits(const std::vector<library::SearchHit>& hits, const QString& error);
  void SetBusy(bool busy);
  void ShowPlace();
  // The row of the result `id`, chosen and shown; -1 when there is none.
  int SelectHit(int id);
  void OpenRow(int row);

  LibraryController& controller_;
  QLineEdit* title_ = nullptr;
  QLineEdit* from_ = nullptr;
  QLineEdit* to_ = nullptr;
  QComboBox* event_ = nullptr;
  QLineEdit* trigger_ = nullptr;
  QCheckBox* near_ = nullptr;
  QDoubleSpinBox* latitude_ = nullptr;
  QDoubleSpinBox* longitude_ = nullptr;
  QDoubleSpinBox* metres_ = nullptr;
  QPushButton* pick_ = nullptr;
  QCheckBox* findings_ = nullptr;
  LibraryMap* map_ = nullptr;
  QTableWidget* results_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* search_ = nullptr;
  QPushButton* index_ = nullptr;
  QPushButton* cancel_ = nullptr;
};
