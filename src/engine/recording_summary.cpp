#include "engine/recording_summary.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "engine/recording_layout.h"
#include "metadata/recording_context.h"

std::string StreamName(const avi::AviReader& reader, std::size_t index) {
  return StreamPinName(int(index), reader.Stream(index).name);
}

namespace {

// Width and height from the stream's BITMAPINFOHEADER, else its frame
// rectangle, else the main header.
void VideoSize(const avi::AviReader& reader, const avi::AviStream& stream, int& width, int& height) {
  if (stream.strf.size() >= 12) {
    width = int32_t(avi::ReadLE32(stream.strf.data() + 4));
    // Top-down bitmaps store a negative height; the most negative one has no
    // positive int, so the size is taken in 64 bits and clamped.
    const int64_t stored = int32_t(avi::ReadLE32(stream.strf.data() + 8));
    height = int(std::min<int64_t>(stored < 0 ? -stored : stored, std::numeric_limits<int32_t>::max()));
    return;
  }
  const avi::StreamHeader& h = stream.header;
  if (h.frameRight > h.frameLeft && h.frameBottom > h.frameTop) {
    width = h.frameRight - h.frameLeft;
    height = h.frameBottom - h.frameTop;
    return;
  }
  constexpr uint32_t kLargest = std::numeric_limits<int32_t>::max();
  width = int(std::min(reader.Header().width, kLargest));
  height = int(std::min(reader.Header().height, kLargest));
}

}  // namespace

RecordingSummary SummariseRecording(const std::string& path, const avi::AviReader& reader) {
  RecordingSummary summary;
  ReadRecordingProperties(path, summary.props, HeaderCorrection::kReportOnly);
  summary.dvrKind = DetectDvrKind(path);
  summary.props.dvrType =
      RecordingContext::TypeText(IsTwoChannel(summary.dvrKind) ? RecordingContext::DvrType::kTwoChannel
                                                               : RecordingContext::DvrType::kFourChannel);
  // A two-channel layout with a third stream plays as a four-channel one;
  // the type text stays.
  if (IsTwoChannel(summary.dvrKind) && reader.StreamCount() >= 3) summary.dvrKind = DvrLayout::kFourChannel;
  summary.h264 = DetectH264(path);
  summary.props.h264Mode = summary.h264 ? VideoCoding::kH264 : VideoCoding::kMotionJpeg;

  std::array<bool, 4> hasVideo{}, hasAudio{};
  summary.streamChannel.assign(reader.StreamCount(), -1);
  for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
    const avi::AviStream& stream = reader.Stream(s);
    const std::string name = StreamName(reader, s);
    const int channel = PinChannel(name);
    if (channel < 0) continue;
    if (stream.header.type == avi::kVids && PinMatchesStreamType(name, kVideoStream)) {
      summary.streamChannel[s] = channel;
      if (hasVideo[channel]) continue;  // the first video pin of a channel is the one played
      hasVideo[channel] = true;
      int width = 0, height = 0;
      VideoSize(reader, stream, width, height);
      const double fps = stream.header.scale ? double(stream.header.rate) / stream.header.scale : 0.0;
      char text[64];
      std::snprintf(text, sizeof text, "%dx%d, %.2f fps", width, height, fps);
      summary.props.formatText[channel] = text;
    } else if (stream.header.type == avi::kAuds && PinMatchesStreamType(name, kAudioStream)) {
      summary.streamChannel[s] = channel;
      hasAudio[channel] = true;
    }
  }
  // A channel's audio is played when it has both an audio and a video stream.
  for (int c = 0; c < 4; ++c) {
    if (hasAudio[c] && hasVideo[c]) summary.props.audioText[c] = "Audio Enabled";
  }
  return summary;
}
