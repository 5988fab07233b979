// The window's commands that write, offscreen, on an open numbered run:
// each refuses an output that is a file of the recording (by its name, a
// link, a hard link, another file of the run) or a FIFO, says so in its
// message, and leaves every byte of the run as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>

#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"
#include "ui/clip_extract_dialog.h"
#include "ui/core/audio_routing_store.h"
#include "ui/core/commands.h"
#include "ui/evidence_package_dialog.h"
#include "ui/message_box.h"
#include "ui/player_window.h"
#include "ui/save_file_chooser.h"

namespace {

namespace fs = std::filesystem;

std::string Sha256(const fs::path& path) {
  return RunCommand("sha256sum " + ShellQuote(path.string()) + " | cut -d' ' -f1");
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

TEST(PlayerWindowOutputs, EveryCommandThatWritesRefusesAFileOfTheRecording) {
  TempDir dir;
  SaveAudioRouting(DefaultAudioRouting());
  std::vector<std::string> messages;
  SetMessageCatcher([&](const std::string&, const std::string& text) { messages.push_back(text); });
  recgen::RecordingOptions o;
  o.width = 320, o.height = 240, o.fps = 10, o.seconds = 3;
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", 2, o, error)) << error;
  const fs::path first = dir / "Trip-001.avi", second = dir / "Trip-002.avi";
  fs::create_symlink(first, dir / "link.avi");
  fs::create_hard_link(first, dir / "hard.avi");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);

  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  window.show();
  QSignalSpy finished(&window, &CQMXPlayerDlg::OpenFinished);
  window.OpenRecording(first.string());
  ASSERT_TRUE(finished.wait(30000));
  ASSERT_EQ(finished.front().front().toInt(), 0);
  window.RunCommand(kCmdPause);
  window.RunCommand(kCmdVideo[0]);  // one camera shown: Take Snapshot saves its frame
  ASSERT_TRUE(window.Engine()->WaitTransport(std::chrono::seconds(20)));

  auto answer = [](const fs::path& out) {
    SetSaveFileAnswerer([out]() -> std::optional<std::string> { return out.string(); });
  };
  auto snapshot = [&](const fs::path& out) {
    answer(out);
    window.RunCommand(kCmdTakeSnapshot);
  };
  auto zoomed = [&](const fs::path& out) {
    answer(out);
    window.findChild<QAction*>(QStringLiteral("zoomedSnapshot"))->trigger();
  };
  auto track = [&](const fs::path& out) {
    answer(out);
    window.findChild<QAction*>(QStringLiteral("exportTrack"))->trigger();
  };
  auto package = [&](const fs::path& out) {
    QTimer::singleShot(0, [out] {
      auto* dialog = qobject_cast<EvidencePackageDialog*>(QApplication::activeModalWidget());
      ASSERT_TRUE(dialog);
      dialog->findChild<QLineEdit*>(QStringLiteral("evidenceFolder"))->setText(QString::fromStdString(out));
      dialog->accept();
    });
    window.findChild<QAction*>(QStringLiteral("exportEvidence"))->trigger();
  };
  auto extract = [&](const fs::path& out) {
    window.RunCommand(kCmdExtractClip);
    CVideoClipExtractDlg* d = window.ClipDialog();
    ASSERT_TRUE(d);
    using Dlg = CVideoClipExtractDlg;
    d->SetCurrentPosition(0);
    static_cast<QPushButton*>(d->Control(Dlg::kSetStart))->click();
    d->SetCurrentPosition(100);
    static_cast<QPushButton*>(d->Control(Dlg::kSetEnd))->click();
    static_cast<QCheckBox*>(d->Control(Dlg::kCameraBoxes[0]))->setChecked(true);
    static_cast<QLineEdit*>(d->Control(Dlg::kDestination))->setText(QString::fromStdString(out));
    d->UpdateExtractButton();
    ASSERT_TRUE(d->Control(Dlg::kExtract)->isEnabled());
    static_cast<QPushButton*>(d->Control(Dlg::kExtract))->click();
  };

  const std::string replaces = ": would replace the recording ";
  const struct {
    const char* what;
    std::function<void(const fs::path&)> command;
    fs::path out;
    std::string says;
  } rows[] = {
      {"Take Snapshot over another file of the run", snapshot, second, replaces + "it is made from"},
      {"Take Snapshot into a FIFO", snapshot, dir / "fifo", ": is a FIFO, not a regular file"},
      {"Snapshot of Zoomed Area over the recording", zoomed, first, replaces + "it is made from"},
      {"Export Track over a symbolic link", track, dir / "link.avi", replaces + first.string()},
      {"Export Evidence Package over a hard link", package, dir / "hard.avi", replaces + first.string()},
      {"Extract Video Clip over the recording", extract, first, replaces + "it is made from"},
  };
  const std::string sums[] = {Sha256(first), Sha256(second)};
  const std::set<std::string> before = Names(dir.path());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    messages.clear();
    row.command(row.out);
    SetSaveFileAnswerer({});
    // Export Track, the package and the clip answer from their workers.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 60000));
    EXPECT_NE(messages.back().find(row.out.string() + row.says), std::string::npos) << messages.back();
    EXPECT_EQ(Sha256(first), sums[0]);
    EXPECT_EQ(Sha256(second), sums[1]);
    EXPECT_EQ(Names(dir.path()), before) << "nothing new beside the recording";
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
  }
  SetMessageCatcher({});
}

}  // namespace
