// The window's evidence commands, offscreen, on a real recording: where they
// sit, when they can be used, and a package made through the dialog, once
// with room and once past a file-size limit.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>

#include "evidence/package_manifest.h"
#include "recording_writer.h"
#include "temp_dir.h"
#include "ui/core/commands.h"
#include "ui/evidence_package_dialog.h"
#include "ui/message_box.h"
#include "ui/player_window.h"

namespace {

namespace fs = std::filesystem;

QAction* Named(CQMXPlayerDlg& window, const char* name) {
  return window.findChild<QAction*>(QString::fromUtf8(name));
}

TEST(EvidenceCommands, SitInTheirMenusAndMakeAPackageOfTheOpenRecording) {
  std::vector<std::string> messages;
  SetMessageCatcher([&](const std::string&, const std::string& text) { messages.push_back(text); });
  TempDir dir;
  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});

  QAction* track = Named(window, "exportTrack");
  QAction* package = Named(window, "exportEvidence");
  ASSERT_TRUE(track && package);
  // Track export in the File menu; the package right after Extract Video Clip.
  auto* trackMenu = qobject_cast<QMenu*>(track->parent());
  ASSERT_TRUE(trackMenu);
  EXPECT_EQ(trackMenu->title().toStdString(), "&File");
  QAction* clip = window.Action(kCmdExtractClip);
  auto* clipMenu = qobject_cast<QMenu*>(package->parent());
  ASSERT_TRUE(clipMenu && clip);
  const QList<QAction*> items = clipMenu->actions();
  EXPECT_EQ(items.indexOf(package), items.indexOf(clip) + 1);
  // Nothing to export without a recording.
  EXPECT_FALSE(track->isEnabled());
  EXPECT_FALSE(package->isEnabled());

  recgen::RecordingOptions o;
  o.width = 320, o.height = 240, o.fps = 10, o.seconds = 3;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "Trip.avi", o, error)) << error;
  QSignalSpy finished(&window, &CQMXPlayerDlg::OpenFinished);
  window.OpenRecording((dir / "Trip.avi").string());
  ASSERT_TRUE(finished.wait(30000));
  ASSERT_EQ(finished.front().front().toInt(), 0);
  EXPECT_TRUE(track->isEnabled());
  EXPECT_TRUE(package->isEnabled());

  // The dialog offers the cameras of the recording and the range from the
  // current position; a folder is all it needs.
  const fs::path folder = dir / "package";
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<EvidencePackageDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(dialog);
    dialog->findChild<QLineEdit*>("evidenceFolder")->setText(QString::fromStdString(folder.string()));
    EXPECT_EQ(dialog->Cameras(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_GT(dialog->ToCentis(), dialog->FromCentis());
    dialog->accept();
  });
  package->trigger();
  // The package is made on the worker; the window keeps answering and then says so.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 60000)) << "!messages.empty()";
  EXPECT_EQ(messages.back(), "Evidence package written to " + folder.string());
  EXPECT_TRUE(fs::is_regular_file(folder / evidence::kManifestFileName));
  EXPECT_TRUE(fs::is_regular_file(folder / "clip.avi"));

  // A package the disk can't hold (each file limited to 64 kB, the signal
  // ignored as the player does): one message with the system's reason, and
  // nothing of the package left, not even the folders it made.
  const fs::path limited = dir / "limited" / "package";
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<EvidencePackageDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(dialog);
    dialog->findChild<QLineEdit*>("evidenceFolder")->setText(QString::fromStdString(limited.string()));
    dialog->accept();
  });
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit unlimited{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
  const rlimit small{64 * 1024, unlimited.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  messages.clear();
  package->trigger();
  const bool told = QTest::qWaitFor([&] { return !messages.empty(); }, 60000);
  ::setrlimit(RLIMIT_FSIZE, &unlimited);
  ASSERT_TRUE(told);
  EXPECT_EQ(messages, std::vector<std::string>{limited.string() + "/clip.avi: File too large"});
  EXPECT_FALSE(fs::exists(limited.parent_path()));
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  SetMessageCatcher({});
}

}  // namespace
