// File > Library... in the real window: indexing a folder of generated
// recordings from the dialog, searching for the scripted harsh braking, and
// a double-click opening the recording at the event's position.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <filesystem>

#include "base/settings.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"
#include "temp_dir.h"
#include "ui/core/commands.h"
#include "ui/library_controller.h"
#include "ui/library_dialog.h"
#include "ui/player_window.h"

TEST(LibraryDialog, IndexesAFolderFindsItsHarshBrakingAndOpensTheRecordingThere) {
  TempDir dir;
  const std::string db = (dir / "library.sqlite").string();
  std::filesystem::create_directories(dir / "fleet");
  WriteSetting("LibraryDatabase", db);
  const struct {
    const char* name;
    const char* title;
    double harshAt;  // seconds; < 0: a calm trip
  } plan[] = {{"bus42_a.avi", "Bus 42", 2.0}, {"bus42_b.avi", "Bus 42", -1}, {"bus7_a.avi", "Bus 7", 1.0}};
  for (const auto& p : plan) {
    recgen::RecordingOptions o;
    o.width = 320, o.height = 240, o.fps = 5, o.seconds = 4;
    o.title = p.title;
    o.scripted = true;
    if (p.harshAt >= 0) o.incidents.push_back({'x', -6, p.harshAt, 0, 0});
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(dir / "fleet" / p.name, o, error)) << error;
  }

  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  window.show();
  QAction* library = window.findChild<QAction*>(QStringLiteral("library"));
  ASSERT_NE(library, nullptr);
  library->trigger();
  LibraryDialog* dialog = window.findChild<LibraryDialog*>();
  ASSERT_NE(dialog, nullptr);
  LibraryController* controller = dialog->findChild<LibraryController*>();
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(controller->Location(), db);

  QSignalSpy indexed(controller, &LibraryController::IndexFinished);
  dialog->StartIndexing(QString::fromStdString((dir / "fleet").string()));
  EXPECT_FALSE(dialog->findChild<QPushButton*>(QStringLiteral("search"))->isEnabled())
      << "busy while indexing";
  ASSERT_TRUE(indexed.wait(60000));
  EXPECT_TRUE(dialog->Status()->text().startsWith("3 recordings found, 3 indexed"))
      << dialog->Status()->text().toStdString();

  const struct {
    int show;  // 0 recordings, 1 harsh motion
    const char* title;
    std::vector<std::pair<std::string, int>> rows;  // recording, position
  } searches[] = {
      {1, "bus 42", {{"bus42_a.avi", 200}}},
      {1, "", {{"bus42_a.avi", 200}, {"bus7_a.avi", 100}}},
      {0, "Bus 42", {{"bus42_a.avi", 0}, {"bus42_b.avi", 0}}},
  };
  for (const auto& s : searches) {
    dialog->findChild<QComboBox*>(QStringLiteral("event"))->setCurrentIndex(s.show);
    dialog->findChild<QLineEdit*>(QStringLiteral("title"))->setText(QString::fromUtf8(s.title));
    QSignalSpy found(controller, &LibraryController::SearchFinished);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("search")), Qt::LeftButton);
    ASSERT_TRUE(found.wait(30000));
    QTableWidget* results = dialog->Results();
    results->sortItems(0);
    std::vector<std::pair<std::string, int>> rows;
    for (int r = 0; r < results->rowCount(); ++r)
      rows.emplace_back(results->item(r, 0)->text().toStdString(),
                        int(results->item(r, 0)->data(Qt::UserRole + 1).toLongLong()));
    EXPECT_EQ(rows, s.rows) << s.title;
  }

  // The harsh braking of bus 42, double-clicked: the window opens its recording there.
  dialog->findChild<QComboBox*>(QStringLiteral("event"))->setCurrentIndex(1);
  dialog->findChild<QLineEdit*>(QStringLiteral("title"))->setText(QStringLiteral("Bus 42"));
  QSignalSpy found(controller, &LibraryController::SearchFinished);
  dialog->RunSearch();
  ASSERT_TRUE(found.wait(30000));
  QTableWidget* results = dialog->Results();
  ASSERT_EQ(results->rowCount(), 1);
  QSignalSpy opened(&window, &CQMXPlayerDlg::OpenFinished);
  QSignalSpy requested(dialog, &LibraryDialog::OpenRequested);
  const QRect cell = results->visualItemRect(results->item(0, 0));
  // A click first: the view takes a double-click only on the cell it saw pressed.
  QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_EQ(requested.size(), 1) << cell.x() << "," << cell.y() << " " << cell.width() << "x"
                                 << cell.height();
  ASSERT_TRUE(opened.wait(30000));
  ASSERT_EQ(opened.front().front().toInt(), kGraphOk);
  window.RunCommand(kCmdPause);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const int64_t at = window.Engine()->GetPositionCentis();
        return at >= 190 && at < 300;
      },
      15000))
      << window.Engine()->GetPositionCentis();
}
