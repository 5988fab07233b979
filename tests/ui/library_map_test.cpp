// The Library dialog's map in the real window, over a library of generated
// trips whose harsh braking happens at known places: a marker for each, the
// served map under them (or grey without a server), a click on a marker
// choosing its row (a double-click opening it), and a place picked on the
// map searching as typed.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <filesystem>

#include "base/settings.h"
#include "library/library_indexer.h"
#include "library/sql_connection.h"
#include "map/map_composer.h"
#include "map_test_support.h"
#include "recording_writer.h"
#include "temp_dir.h"
#include "ui/library_controller.h"
#include "ui/library_dialog.h"
#include "ui/library_map.h"
#include "ui/player_window.h"

namespace {

const QColor kMarker(0xd0, 0x00, 0x7a), kChosen(0x00, 0x50, 0xff);

struct Trip {
  const char* name;
  std::vector<recgen::Waypoint> route;
  std::vector<double> harshAt;  // seconds
};

// Two stand still, one drives east braking twice on the way.
const Trip kTrips[] = {
    {"bus42_a.avi", {{49.3000, -122.7000, 0}}, {2.0}},
    {"bus42_b.avi", {{49.3100, -122.6800, 0}, {49.3100, -122.6600, 4}}, {1.0, 3.0}},
    {"bus7_a.avi", {{49.2800, -122.7400, 0}}, {1.0}},
};
const std::vector<GeoPoint> kBrakings = {
    {49.2800, -122.7400}, {49.3000, -122.7000}, {49.3100, -122.6750}, {49.3100, -122.6650}};

bool Near(const GeoPoint& a, const GeoPoint& b, double degrees) {
  return std::abs(a.latitude - b.latitude) <= degrees && std::abs(a.longitude - b.longitude) <= degrees;
}

std::vector<GeoPoint> SortedPositions(const LibraryMap& map) {
  std::vector<GeoPoint> out;
  for (const LibraryMap::Marker& m : map.Markers()) out.push_back(m.at);
  std::sort(out.begin(), out.end(), [](const GeoPoint& a, const GeoPoint& b) {
    return std::pair(a.latitude, a.longitude) < std::pair(b.latitude, b.longitude);
  });
  return out;
}

class LibraryMapTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "fleet");
    for (const Trip& t : kTrips) {
      recgen::RecordingOptions o;
      o.width = 320, o.height = 240, o.fps = 5, o.seconds = 4;
      o.scripted = true;
      o.route = t.route;
      for (double at : t.harshAt) o.incidents.push_back({'x', -6, at, 0, 0});
      std::string error;
      ASSERT_TRUE(recgen::WriteRecording(dir_ / "fleet" / t.name, o, error)) << error;
    }
    WriteSetting("LibraryDatabase", db_);
    library::LibraryStore store(library::OpenSqlConnection(db_));
    library::IndexOptions options;
    options.roots = {(dir_ / "fleet").string()};
    ASSERT_EQ(library::IndexTree(store, options, nullptr).indexed, 3u);
  }

  // The window's Library dialog with its map from `tiles` (the test's
  // server unless given), after a search for harsh motion.
  LibraryDialog* OpenAndSearch(CQMXPlayerDlg& window, std::string tiles = "") {
    StoreMapSource("tiles", tiles.empty() ? server_.BaseUrl() : tiles);
    window.show();
    window.findChild<QAction*>(QStringLiteral("library"))->trigger();
    auto* dialog = window.findChild<LibraryDialog*>();
    if (!dialog) return nullptr;
    dialog->findChild<QComboBox*>(QStringLiteral("event"))->setCurrentIndex(1);
    Search(dialog);
    return dialog;
  }

  static void Search(LibraryDialog* dialog) {
    QSignalSpy found(dialog->findChild<LibraryController*>(), &LibraryController::SearchFinished);
    dialog->RunSearch();
    ASSERT_TRUE(found.wait(30000));
  }

  // Waits for the map to show `ground` at its left edge: a picture of the
  // current view arrived (or, grey, that none can).
  static bool Shows(LibraryMap* map, const QColor& ground) {
    return QTest::qWaitFor(
        [&] { return map->grab().toImage().pixelColor(QPoint(6, map->height() / 2)) == ground; }, 20000);
  }

  static std::vector<std::pair<QString, qlonglong>> Rows(QTableWidget* results) {
    std::vector<std::pair<QString, qlonglong>> rows;
    for (int r = 0; r < results->rowCount(); ++r)
      rows.emplace_back(results->item(r, 0)->text(),
                        results->item(r, 0)->data(Qt::UserRole + 1).toLongLong());
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  std::atomic<ServerFault> fault_{ServerFault::kNone};
  HttpTestServer server_{MapHandler(fault_)};
  TempDir dir_;
  const std::string db_ = (dir_ / "library.sqlite").string();
};

TEST_F(LibraryMapTest, MarksEveryResultOnTheServedMapOrOnGreyWithoutOne) {
  const struct {
    std::string base;  // where the tiles come from
    QColor ground;     // what the map shows between the markers
    QString status;
  } rows[] = {
      {server_.BaseUrl(), kMapGrey, ""},
      {"http://127.0.0.1:" + std::to_string(FreeLoopbackPort()), QColor::fromRgba(kBlankMapColour),
       "No Map Tile Available"},
  };
  // One dialog, closed and opened again between the rows: it takes the
  // source stored meanwhile.
  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  LibraryDialog* dialog = nullptr;
  for (const auto& row : rows) {
    if (!dialog) {
      dialog = OpenAndSearch(window, row.base);
    } else {
      dialog->reject();
      StoreMapSource("tiles", row.base);
      window.findChild<QAction*>(QStringLiteral("library"))->trigger();
    }
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    LibraryMap* map = dialog->Map();
    ASSERT_EQ(dialog->Results()->rowCount(), 4);
    const std::vector<GeoPoint> marked = SortedPositions(*map);
    ASSERT_EQ(marked.size(), kBrakings.size());
    for (std::size_t i = 0; i < marked.size(); ++i)
      EXPECT_TRUE(Near(marked[i], kBrakings[i], 2e-4))
          << i << ": " << marked[i].latitude << "," << marked[i].longitude;
    // Fitted: every marker inside the map, clear of its edges.
    for (const GeoPoint& p : marked)
      EXPECT_TRUE(QRectF(map->rect()).adjusted(20, 20, -20, -20).contains(map->PixelOf(p)))
          << map->PixelOf(p).x() << "," << map->PixelOf(p).y() << " in " << map->width() << "x"
          << map->height();

    ASSERT_TRUE(Shows(map, row.ground)) << row.base;
    ASSERT_TRUE(QTest::qWaitFor([&] { return map->StatusText() == row.status; }, 20000))
        << row.base << ": " << map->StatusText().toStdString();
    const QImage shown = map->grab().toImage();
    for (const GeoPoint& p : marked) EXPECT_EQ(shown.pixelColor(map->PixelOf(p).toPoint()), kMarker);
  }
  EXPECT_GT(server_.RequestCount(), 0);
}

TEST_F(LibraryMapTest, AMarkerAndItsRowAreChosenTogether) {
  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  LibraryDialog* dialog = OpenAndSearch(window);
  ASSERT_NE(dialog, nullptr);
  LibraryMap* map = dialog->Map();
  QTableWidget* results = dialog->Results();
  ASSERT_EQ(map->Markers().size(), 4u);
  auto chosenRow = [&] {
    const QList<QTableWidgetItem*> items = results->selectedItems();
    return items.isEmpty() ? -1 : items.front()->row();
  };
  for (const LibraryMap::Marker& m : map->Markers()) {
    QTest::mouseClick(map, Qt::LeftButton, {}, map->PixelOf(m.at).toPoint());
    ASSERT_GE(chosenRow(), 0);
    const QString place = results->item(chosenRow(), 3)->text();
    EXPECT_EQ(place, QStringLiteral("%1, %2").arg(m.at.latitude, 0, 'f', 6).arg(m.at.longitude, 0, 'f', 6));
    EXPECT_EQ(map->Selected(), m.id);
    EXPECT_EQ(map->grab().toImage().pixelColor(map->PixelOf(m.at).toPoint()), kChosen);
  }
  // The other way round: a row chosen in the list lights its marker.
  results->sortItems(1);
  results->selectRow(0);
  const int id = results->item(0, 0)->data(Qt::UserRole + 3).toInt();
  EXPECT_EQ(map->Selected(), id);
  // A click on the map away from every marker changes nothing.
  QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(map->Selected(), id);
  EXPECT_EQ(chosenRow(), 0);

  // A double-click on a marker opens its result, as on its row.
  QSignalSpy requested(dialog, &LibraryDialog::OpenRequested);
  const LibraryMap::Marker last = map->Markers().back();
  QTest::mouseDClick(map, Qt::LeftButton, {}, map->PixelOf(last.at).toPoint());
  ASSERT_EQ(requested.size(), 1);
  ASSERT_GE(chosenRow(), 0);
  const QTableWidgetItem* item = results->item(chosenRow(), 0);
  EXPECT_EQ(map->Selected(), last.id);
  EXPECT_EQ(requested.front()[0].toString(), item->data(Qt::UserRole).toString());
  EXPECT_EQ(requested.front()[1].toLongLong(), item->data(Qt::UserRole + 1).toLongLong());
  EXPECT_TRUE(requested.front()[0].toString().endsWith(item->text()));
}

TEST_F(LibraryMapTest, APlacePickedOnTheMapSearchesAsTypedAndShowsItsRadius) {
  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  LibraryDialog* dialog = OpenAndSearch(window);
  ASSERT_NE(dialog, nullptr);
  LibraryMap* map = dialog->Map();
  auto* latitude = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("latitude"));
  auto* longitude = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("longitude"));
  auto* metres = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("metres"));
  auto* nearBox = dialog->findChild<QCheckBox*>(QStringLiteral("near"));
  auto* pick = dialog->findChild<QPushButton*>(QStringLiteral("pickPlace"));
  ASSERT_FALSE(nearBox->isChecked());

  const GeoPoint standing = kBrakings[0];  // bus 7
  const QPoint at = map->PixelOf(standing).toPoint();
  QTest::mouseClick(pick, Qt::LeftButton);
  ASSERT_TRUE(map->Picking());
  QTest::mouseClick(map, Qt::LeftButton, {}, at);
  EXPECT_FALSE(map->Picking()) << "one click picks";
  EXPECT_FALSE(pick->isChecked());
  EXPECT_TRUE(nearBox->isChecked());
  // Within a pixel of the place clicked, at the map's zoom.
  const GeoPoint picked{latitude->value(), longitude->value()};
  const double pixelDegrees = 360.0 / (256 << map->Zoom());
  EXPECT_TRUE(Near(picked, standing, 2 * pixelDegrees)) << picked.latitude << "," << picked.longitude;
  EXPECT_EQ(map->Selected(), std::nullopt) << "a pick chooses no marker";

  metres->setValue(400);
  // The radius drawn round the place: tinted map halfway out.
  const double radius = std::abs(map->PixelOf({picked.latitude + 400 / 111320.0, picked.longitude}).y() -
                                 map->PixelOf(picked).y());
  ASSERT_GT(radius, 20);
  ASSERT_TRUE(Shows(map, kMapGrey));
  const QImage shown = map->grab().toImage();
  const QPointF centre = map->PixelOf(picked);
  EXPECT_NE(shown.pixelColor((centre + QPointF(radius / 2, radius / 2)).toPoint()), kMapGrey);
  EXPECT_EQ(shown.pixelColor((centre + QPointF(radius * 1.5, 0)).toPoint()), kMapGrey)
      << "outside the circle";

  Search(dialog);
  const auto pickedRows = Rows(dialog->Results());
  ASSERT_EQ(pickedRows.size(), 1u);
  EXPECT_EQ(pickedRows[0].first, QStringLiteral("bus7_a.avi"));
  latitude->setValue(standing.latitude);
  longitude->setValue(standing.longitude);
  Search(dialog);
  EXPECT_EQ(Rows(dialog->Results()), pickedRows);
  // The typed place moves the circle on the map with it.
  EXPECT_LT(QLineF(map->PixelOf(standing), map->PixelOf({latitude->value(), longitude->value()})).length(),
            0.5);
}

}  // namespace
