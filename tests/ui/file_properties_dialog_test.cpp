// The file properties dialog, offscreen, with nothing open and with the
// properties of a real recording read by the engine.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <map>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "recording_writer.h"
#include "temp_dir.h"
#include "ui/file_properties_dialog.h"

namespace {

std::map<std::string, std::string> Fields(const CFileProperties& d) {
  std::map<std::string, std::string> f;
  for (const QLineEdit* e : d.findChildren<QLineEdit*>()) {
    EXPECT_TRUE(e->isReadOnly()) << e->objectName().toStdString();
    f[e->objectName().toStdString()] = e->text().toStdString();
  }
  return f;
}

const std::vector<std::string> kNames = {
    "dvrVersion",  "dvrType",     "videoSize",   "gpsInfo",  "triggerLabels", "resolution1",
    "resolution2", "resolution3", "resolution4", "audio1",   "audio2",        "audio3",
    "audio4",      "bitrate1",    "bitrate2",    "bitrate3", "bitrate4"};

TEST(FilePropertiesDialog, NothingOpenShowsNotAvailable) {
  struct Case {
    VideoCoding h264Mode;
    std::string videoType;
  };
  for (const Case& c : std::vector<Case>{{VideoCoding::kMotionJpeg, "MJPG Video Source"},
                                         {VideoCoding::kH264, "H264 Video Source"},
                                         {VideoCoding(2), ""}}) {
    RecordingProperties props;
    props.h264Mode = c.h264Mode;
    CFileProperties dialog(props);
    EXPECT_EQ(dialog.windowTitle(), "File Properties");
    auto fields = Fields(dialog);
    EXPECT_EQ(fields.size(), kNames.size() + 1);
    for (const std::string& name : kNames) EXPECT_EQ(fields[name], "N/A") << name;
    EXPECT_EQ(fields["videoType"], c.videoType);
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
}

TEST(FilePropertiesDialog, ShowsARecordingReadByTheEngine) {
  TempDir dir;
  recgen::RecordingOptions o;
  o.width = 352;
  o.height = 240;
  o.fps = 10;
  o.seconds = 1;
  o.audio = {true, false, true, false};
  o.title = "Bus 12";
  o.version = "4CH DVR v2.13";
  o.triggerNames = {"Door",
                    "Brake",
                    "Stra\xDF"
                    "e",
                    "T4",
                    "T5",
                    "T6",
                    "T7",
                    "T8",
                    "T9",
                    "T10",
                    "Panic"};
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "rec.avi", o, error)) << error;

  PlaybackEngine engine;
  ASSERT_EQ(engine.OpenSequence({(dir / "rec.avi").string()}), kGraphOk);
  const RecordingProperties props = engine.Properties();
  engine.CloseSequence();

  CFileProperties dialog(props);
  auto f = Fields(dialog);
  EXPECT_EQ(f["dvrVersion"], "4CH DVR v2.13");
  EXPECT_EQ(f["dvrType"], "4 Channel DVR");
  // Windows-1252 from the file, UTF-8 on screen.
  EXPECT_EQ(f["triggerLabels"].rfind("Door,Brake,Stra\xC3\x9F"
                                     "e,T4,T5,",
                                     0),
            0u)
      << f["triggerLabels"];
  EXPECT_EQ(f["videoType"], "MJPG Video Source");
  for (int c = 0; c < 4; ++c) {
    const std::string n = std::to_string(c + 1);
    EXPECT_EQ(f["resolution" + n], props.formatText[c]);
    EXPECT_EQ(f["resolution" + n].rfind("352x240", 0), 0u) << f["resolution" + n];
    EXPECT_EQ(f["audio" + n], c % 2 == 0 ? "Audio Enabled" : "Audio Disabled");
    EXPECT_EQ(f["bitrate" + n], props.bitRateText[c]);
  }
  EXPECT_EQ(f["videoSize"], props.sizeText);
  EXPECT_EQ(f["gpsInfo"], "GPS Enabled");
}

}  // namespace
