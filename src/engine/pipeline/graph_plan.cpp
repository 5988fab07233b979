#include "engine/pipeline/graph_plan.h"

#include "engine/pipeline/demux_pad_names.h"
#include "engine/recording_layout.h"

namespace {

avi::FourCC TypeOfKind(int streamType) {
  switch (streamType) {
    case kVideoStream:
      return avi::kVids;
    case kAudioStream:
      return avi::kAuds;
    default:
      return avi::kTxts;
  }
}

bool IsVideoType(avi::FourCC t) {
  return t == avi::kVids || t == avi::MakeFourCC("iavs");
}

// The JPEG decoders in the order they are preferred: ours writes BGRx in one
// pass, the stock ones need a colour conversion after them.
struct JpegDecoder {
  const char* factory;
  bool needsConversion;
};
constexpr JpegDecoder kJpegDecoders[] = {{"qmxjpegdec", false}, {"jpegdec", true}, {"avdec_mjpeg", true}};

}  // namespace

std::string AudioDecoderFor(int formatTag) {
  switch (formatTag) {
    case avi::kWaveFormatPcm:
      return "identity";
    case avi::kWaveFormatMuLaw:
      return "mulawdec";
    case avi::kWaveFormatALaw:
      return "alawdec";
    case 0x0002:  // Microsoft ADPCM
    case 0x0011:  // IMA ADPCM
      return "adpcmdec";
    default:
      return "";
  }
}

GraphPlan PlanRecordingGraph(const std::vector<PlannedStream>& streams, DvrLayout headerLayout,
                             const FactoryProbe& installed) {
  GraphPlan plan;
  plan.layout = headerLayout;
  std::vector<DemuxStream> described;
  for (const PlannedStream& s : streams) {
    described.push_back({s.type, s.name, s.chunkCount, s.hasFormat});
    if (s.type == avi::kVids) ++plan.videoStreamCount;
  }
  const std::vector<DemuxPad> pads = MapDemuxPads(described);
  std::vector<int> exposed;  // indexes into pads, in file order
  std::vector<PinDescription> allPins;
  for (size_t i = 0; i < pads.size(); ++i) {
    if (!pads[i].exposed) continue;
    exposed.push_back(int(i));
    allPins.push_back({PinDirection::kOutput, pads[i].pinName});
  }
  if (plan.layout != DvrLayout::kFourChannel &&
      FindPin(allPins, PinDirection::kOutput, 2, kAnyStream, false) >= 0)
    plan.layout = DvrLayout::kFourChannel;

  std::array<int, 4> video{-1, -1, -1, -1}, audio{-1, -1, -1, -1};
  int meta = -1;
  std::vector<bool> used(pads.size(), false);

  // Named streams follow the name rules, but only where the stream header
  // agrees with what the name says the stream carries.
  auto byName = [&](int streamType, int index, bool byChannel) -> int {
    std::vector<PinDescription> pins;
    std::vector<int> padOf;
    for (int p : exposed) {
      const PlannedStream& s = streams[size_t(pads[size_t(p)].streamIndex)];
      const bool typeAgrees =
          streamType == kVideoStream ? IsVideoType(s.type) : s.type == TypeOfKind(streamType);
      if (s.name.empty() || !typeAgrees || used[size_t(p)]) continue;
      pins.push_back({PinDirection::kOutput, pads[size_t(p)].pinName});
      padOf.push_back(p);
    }
    const int k = FindPin(pins, PinDirection::kOutput, index, streamType, byChannel);
    if (k < 0) return -1;
    used[size_t(padOf[size_t(k)])] = true;
    return padOf[size_t(k)];
  };
  for (int c = 0; c < 4; ++c) video[size_t(c)] = byName(kVideoStream, c, true);
  for (int c = 0; c < 4; ++c) audio[size_t(c)] = byName(kAudioStream, c, true);
  meta = byName(kMetadataStream, 0, false);

  // Everything else by its order: each video stream takes the next free
  // channel, an audio stream joins the video stream before it.
  int lastVideoChannel = -1;
  for (int p : exposed) {
    if (used[size_t(p)]) continue;
    const avi::FourCC type = streams[size_t(pads[size_t(p)].streamIndex)].type;
    if (IsVideoType(type)) {
      lastVideoChannel = -1;
      for (int c = 0; c < 4; ++c) {
        if (video[size_t(c)] < 0) {
          video[size_t(c)] = p;
          lastVideoChannel = c;
          break;
        }
      }
    } else if (type == avi::kAuds) {
      if (lastVideoChannel >= 0 && audio[size_t(lastVideoChannel)] < 0) audio[size_t(lastVideoChannel)] = p;
      lastVideoChannel = -1;
    } else if (type == avi::kTxts && meta < 0) {
      meta = p;
    }
  }

  const JpegDecoder* jpeg = nullptr;
  for (const JpegDecoder& d : kJpegDecoders) {
    if (installed(d.factory)) {
      jpeg = &d;
      break;
    }
  }
  for (int c = 0; c < 4; ++c) {
    if (video[size_t(c)] < 0) continue;
    const DemuxPad& pad = pads[size_t(video[size_t(c)])];
    if (streams[size_t(pad.streamIndex)].h264 || !jpeg) {
      plan.result = streams[size_t(pad.streamIndex)].h264 ? 7 : 5;
      plan.branches.clear();
      return plan;
    }
    plan.branches.push_back(
        {BranchKind::kVideo, c, pad.streamIndex, pad.padName, jpeg->factory, jpeg->needsConversion});
  }
  if (meta >= 0) {
    const DemuxPad& pad = pads[size_t(meta)];
    plan.branches.push_back({BranchKind::kMetadata, 0, pad.streamIndex, pad.padName, "", false});
  }
  for (int c = 0; c < 4; ++c) {
    if (audio[size_t(c)] < 0 || video[size_t(c)] < 0) continue;
    const DemuxPad& pad = pads[size_t(audio[size_t(c)])];
    const std::string decoder = AudioDecoderFor(streams[size_t(pad.streamIndex)].audioFormatTag);
    if (decoder.empty() || !installed(decoder)) continue;
    plan.branches.push_back({BranchKind::kAudio, c, pad.streamIndex, pad.padName, decoder, false});
  }
  return plan;
}
