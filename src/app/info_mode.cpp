#include "app/info_mode.h"

#include "app/mode_status.h"
#include "engine/recording_summary.h"
#include "metadata/windows1252.h"

int RunInfoMode(const std::string& path, std::ostream& out, std::ostream& err) {
  avi::AviReader reader;
  if (!reader.Open(path, avi::AviReader::Load::kHeadersOnly)) {
    return ModeFailure(err, path, reader.Error(), kExitBadInput);
  }
  const RecordingSummary summary = SummariseRecording(path, reader);
  const RecordingProperties& p = summary.props;
  // The DVR's configuration values are Windows-1252; the lines are UTF-8.
  auto line = [&out](const std::string& label, const std::string& value) {
    out << label << ": " << Utf8FromWindows1252(value) << "\n";
  };
  line("DVR Version", p.dvrVersion);
  line("DVR Type", p.dvrType);
  line("Video Size", p.sizeText);
  line("GPS Info", p.gpsText);
  line("Trigger Labels", p.triggerList);
  line("Video Type", p.h264Mode == VideoCoding::kMotionJpeg ? "MJPG Video Source" : "H264 Video Source");
  for (int c = 0; c < 4; ++c) {
    const std::string channel = "Channel " + std::to_string(c + 1);
    line(channel + " Video Resolution", p.formatText[c]);
    line(channel + " Audio", p.audioText[c]);
    line(channel + " Bitrate", p.bitRateText[c]);
  }
  line("DVR Title", p.dvrTitle);
  line("DVR Kind", std::to_string(DvrKindNumber(summary.dvrKind)));
  line("H264", summary.h264 ? "yes" : "no");
  if (p.headerCorrectionNeeded) line("Header Correction", "needed");
  return FinishOutput(out, err);
}
