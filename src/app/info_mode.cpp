#include "app/info_mode.h"

#include "app/recording_summary.h"

int RunInfoMode(const std::string& path, std::ostream& out, std::ostream& err) {
  avi::AviReader reader;
  if (!reader.Open(path, avi::AviReader::Load::kHeadersOnly)) {
    err << "qmxplayer: " << path << ": " << reader.Error() << "\n";
    return 2;
  }
  const RecordingSummary summary = SummariseRecording(path, reader);
  const RecordingProperties& p = summary.props;
  out << "DVR Version: " << p.dvrVersion << "\n"
      << "DVR Type: " << p.dvrType << "\n"
      << "Video Size: " << p.sizeText << "\n"
      << "GPS Info: " << p.gpsText << "\n"
      << "Trigger Labels: " << p.triggerList << "\n"
      << "Video Type: " << (p.h264Mode == 0 ? "MJPG Video Source" : "H264 Video Source") << "\n";
  for (int c = 0; c < 4; ++c) {
    out << "Channel " << c + 1 << " Video Resolution: " << p.formatText[c] << "\n"
        << "Channel " << c + 1 << " Audio: " << p.audioText[c] << "\n"
        << "Channel " << c + 1 << " Bitrate: " << p.bitRateText[c] << "\n";
  }
  out << "DVR Title: " << p.dvrTitle << "\n"
      << "DVR Kind: " << summary.dvrKind << "\n"
      << "H264: " << (summary.h264 ? "yes" : "no") << "\n";
  if (p.headerCorrectionNeeded) out << "Header Correction: needed\n";
  return 0;
}
