// Bookmarks in the window, offscreen, on a real recording playing through
// real pipelines: added with B and from the timeline's menu, drawn on the
// timeline, jumped to, listed and deleted, still there in a new window, and
// carried into an evidence package.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QInputDialog>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "base/settings.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "evidence/bookmarks.h"
#include "evidence/evidence_package.h"
#include "recording_writer.h"
#include "scoped_env.h"
#include "temp_dir.h"
#include "ui/bookmark_controller.h"
#include "ui/bookmark_list_dialog.h"
#include "ui/core/commands.h"
#include "ui/player_window.h"
#include "ui/timeline_strip.h"

namespace {

namespace fs = std::filesystem;

// Answers the next note prompt with `note` once it shows.
void AnswerNote(const QString& note) {
  QTimer::singleShot(0, [note] {
    ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<QInputDialog*>(QApplication::activeModalWidget()); },
                                10000));
    auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    prompt->setTextValue(note);
    prompt->accept();
  });
}

QAction* Named(CQMXPlayerDlg& window, const char* name) {
  return window.findChild<QAction*>(QString::fromUtf8(name));
}

class BookmarksWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    recgen::RecordingOptions o;
    o.width = 320, o.height = 240, o.fps = 10, o.seconds = 8;
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(recording_, o, error)) << error;
  }
  // The next test's window opens at its first size, not where these were left.
  void TearDown() override { WriteSetting(kWindowPlacementSetting, ""); }
  std::unique_ptr<CQMXPlayerDlg> OpenedPaused() {
    auto window = std::make_unique<CQMXPlayerDlg>("QMX", EngineConfig{"fakesink sync=true"});
    window->show();
    QSignalSpy finished(window.get(), &CQMXPlayerDlg::OpenFinished);
    window->OpenRecording(recording_.string());
    EXPECT_TRUE(finished.wait(30000));
    EXPECT_EQ(finished.value(0).value(0).toInt(), kGraphOk);
    window->RunCommand(kCmdPause);
    EXPECT_TRUE(window->Engine()->WaitTransport(std::chrono::seconds(15)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Timeline()->Scanned(); }, 30000));
    // The please-wait box took the focus while the recording opened.
    QApplication::setActiveWindow(window.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return window;
  }
  // The position once the seek asked for is done.
  static int64_t SettledPosition(CQMXPlayerDlg& window) {
    EXPECT_TRUE(window.Engine()->WaitTransport(std::chrono::seconds(15)));
    return window.Engine()->GetPositionCentis();
  }

  TempDir dir_;
  ScopedEnv data_{"XDG_DATA_HOME", (dir_ / "data").string()};
  fs::path recording_ = dir_ / "Trip.avi";
};

TEST_F(BookmarksWindowTest, AddedJumpedToListedAndKeptAcrossARestartAndInThePackage) {
  {
    std::unique_ptr<CQMXPlayerDlg> window = OpenedPaused();
    const int64_t now = window->Engine()->GetPositionCentis();
    // B at the time shown.
    AnswerNote(QStringLiteral("brake lights, \"then\" swerve"));
    QTest::keyClick(window.get(), Qt::Key_B);
    ASSERT_EQ(window->Bookmarks()->Bookmarks().size(), 1u);
    EXPECT_EQ(window->Bookmarks()->Bookmarks()[0].centis, now);

    // The timeline's context menu at 6 s.
    TimelineStrip& strip = *window->Timeline();
    QTimer::singleShot(0, [] {
      ASSERT_TRUE(
          QTest::qWaitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }, 10000));
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      EXPECT_TRUE(menu->actions().front()->text().startsWith("Add Bookmark at 0:00:0"));
      AnswerNote(QStringLiteral("second car\nleaves"));
      menu->actions().front()->trigger();
      menu->close();
    });
    const QPoint at(strip.XOfTime(600), strip.height() / 2);
    QContextMenuEvent press(QContextMenuEvent::Mouse, at, strip.mapToGlobal(at));
    QApplication::sendEvent(&strip, &press);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Bookmarks()->Bookmarks().size() == 2; }, 10000));
    const int64_t second = window->Bookmarks()->Bookmarks()[1].centis;
    EXPECT_NEAR(double(second), 600, 100.0 * 8 / strip.width() + 1);
    EXPECT_EQ(strip.Bookmarks(), (std::vector<int64_t>{now, second}));

    // Next from the first goes to the second, Previous back.
    Named(*window, "nextBookmark")->trigger();
    EXPECT_NEAR(double(SettledPosition(*window)), double(second), 10);
    Named(*window, "previousBookmark")->trigger();
    EXPECT_NEAR(double(SettledPosition(*window)), double(now), 10);
  }

  // A new window on the same recording finds both; the list deletes one.
  std::unique_ptr<CQMXPlayerDlg> window = OpenedPaused();
  const std::vector<evidence::Bookmark> kept = window->Bookmarks()->Bookmarks();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].note, "brake lights, \"then\" swerve");
  EXPECT_EQ(kept[1].note, "second car\nleaves");
  EXPECT_EQ(window->Timeline()->Bookmarks().size(), 2u);
  bool listed = false;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return qobject_cast<BookmarkListDialog*>(QApplication::activeModalWidget()); }, 10000));
    auto* list = qobject_cast<BookmarkListDialog*>(QApplication::activeModalWidget());
    listed = list->List()->topLevelItemCount() == 2 &&
             list->List()->topLevelItem(1)->text(1) == "second car / leaves";
    list->List()->setCurrentItem(list->List()->topLevelItem(0));
    list->findChild<QPushButton*>(QStringLiteral("delete"))->click();
    list->reject();
  });
  Named(*window, "bookmarkList")->trigger();
  EXPECT_TRUE(listed);
  ASSERT_EQ(evidence::LoadBookmarks({recording_.string()}), (std::vector<evidence::Bookmark>{kept[1]}));

  // The package of the recording carries what is left.
  evidence::PackageRequest request;
  request.recording = recording_.string();
  request.fromCentis = 0;
  request.toCentis = 800;
  request.cameras = {1};
  request.folder = (dir_ / "package").string();
  std::atomic<bool> cancel{false};
  std::string message;
  ASSERT_EQ(evidence::BuildPackage(request, cancel, {}, message), evidence::ExportStatus::kDone) << message;
  std::ifstream csv(dir_ / "package" / evidence::kPackageBookmarksName, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(csv)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find(std::to_string(kept[1].centis) + ","), std::string::npos) << text;
  EXPECT_NE(text.find("\"second car\nleaves\""), std::string::npos) << text;
  EXPECT_EQ(text.find("brake lights"), std::string::npos) << text;
}

}  // namespace
