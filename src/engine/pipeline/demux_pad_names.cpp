#include "engine/pipeline/demux_pad_names.h"

#include "engine/recording_layout.h"

std::vector<DemuxPad> MapDemuxPads(const std::vector<DemuxStream>& streams) {
  std::vector<DemuxPad> pads;
  int videos = 0, audios = 0, texts = 0;
  for (size_t i = 0; i < streams.size(); ++i) {
    const DemuxStream& s = streams[i];
    DemuxPad p;
    p.streamIndex = int(i);
    p.pinName = StreamPinName(int(i), s.name);
    if (!s.hasFormat) {
      // no pad and no number
    } else if (s.type == avi::kVids || s.type == avi::MakeFourCC("iavs")) {
      p.padName = "video_" + std::to_string(videos++);
    } else if (s.type == avi::kAuds) {
      p.padName = "audio_" + std::to_string(audios++);
    } else if (s.type == avi::kTxts) {
      p.padName = "subtitle_" + std::to_string(texts++);
    }
    p.exposed = !p.padName.empty() && s.chunkCount > 0;
    pads.push_back(std::move(p));
  }
  return pads;
}
