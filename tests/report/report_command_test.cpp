// File > Export Incident Report... on an open recording, offscreen: where it
// sits, what the dialog offers, and the report it makes on the worker; and
// the evidence package's dialog asking for the derived video and report.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "map_test_support.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"
#include "ui/evidence_package_dialog.h"
#include "ui/incident_report_dialog.h"
#include "ui/message_box.h"
#include "ui/player_window.h"

TEST(ReportCommand, MakesTheReportOfTheOpenRecordingFromTheFileMenu) {
  std::vector<std::string> messages;
  SetMessageCatcher([&](const std::string&, const std::string& text) { messages.push_back(text); });
  TempDir dir;
  StoreMapSource("tiles",
                 "http://127.0.0.1:" + std::to_string(FreeLoopbackPort()));  // no map, and no internet
  CQMXPlayerDlg window("QMX", EngineConfig{"fakesink sync=true"});
  auto* action = window.findChild<QAction*>(QStringLiteral("exportReport"));
  ASSERT_TRUE(action);
  auto* menu = qobject_cast<QMenu*>(action->parent());
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->title().toStdString(), "&File");
  const QList<QAction*> items = menu->actions();
  EXPECT_EQ(items.indexOf(action), items.size() - 2) << "just before Exit";
  EXPECT_FALSE(action->isEnabled()) << "nothing to report on without a recording";

  recgen::RecordingOptions o;
  o.width = 320, o.height = 240, o.fps = 10, o.seconds = 4;
  o.video = {true, false, true, false};
  o.title = "Window Van";
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "Trip.avi", o, error)) << error;
  QSignalSpy opened(&window, &CQMXPlayerDlg::OpenFinished);
  window.OpenRecording((dir / "Trip.avi").string());
  ASSERT_TRUE(opened.wait(30000));
  ASSERT_TRUE(action->isEnabled());

  const std::filesystem::path out = dir / "incident";
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<IncidentReportDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->Cameras(), (std::array<bool, 4>{true, false, true, false}));
    EXPECT_GT(dialog->ToCentis(), dialog->FromCentis());
    dialog->findChild<QLineEdit*>("reportCase")->setText(QStringLiteral("Window case 12"));
    dialog->findChild<QLineEdit*>("reportExaminer")->setText(QStringLiteral("B. Examiner"));
    dialog->findChild<QLineEdit*>("reportOutput")->setText(QString::fromStdString(out.string()));
    dialog->accept();
  });
  action->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 60000)) << "!messages.empty()";
  EXPECT_TRUE(messages.back().starts_with("Incident report written to " + out.string() + ".pdf ("))
      << messages.back();
  const std::string text = RunCommand("pdftotext " + ShellQuote(out.string() + ".pdf") + " -");
  for (const char* want : {"Window case 12", "B. Examiner", "Window Van", "Camera 1", "Camera 3"})
    EXPECT_NE(text.find(want), std::string::npos) << want;

  // The evidence package's dialog adds both as derived files when asked.
  const std::filesystem::path package = dir / "package";
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<EvidencePackageDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->WithVideo() || dialog->WithReport()) << "the evidence alone unless asked";
    dialog->findChild<QLineEdit*>("evidenceFolder")->setText(QString::fromStdString(package.string()));
    dialog->findChild<QCheckBox*>("evidenceWithVideo")->setChecked(true);
    dialog->findChild<QCheckBox*>("evidenceWithReport")->setChecked(true);
    dialog->accept();
  });
  messages.clear();
  window.findChild<QAction*>(QStringLiteral("exportEvidence"))->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 60000)) << "!messages.empty()";
  EXPECT_EQ(messages.back(), "Evidence package written to " + package.string());
  const std::string manifest = RunCommand("cat " + ShellQuote((package / "manifest.json").string()));
  EXPECT_NE(manifest.find("\"file\": \"video.mp4\", \"kind\": \"video\", \"derived\": true"),
            std::string::npos)
      << manifest;
  EXPECT_NE(manifest.find("\"file\": \"report.pdf\", \"kind\": \"report\", \"derived\": true"),
            std::string::npos)
      << manifest;
  SetMessageCatcher({});
}
