#include "engine/camera_streams.h"

#include "avi/avi_reader.h"
#include "engine/recording_layout.h"

int CameraStream(const avi::AviReader& reader, uint32_t type, int camera) {
  bool named = false;
  for (std::size_t i = 0; i < reader.StreamCount(); ++i) {
    const avi::AviStream& s = reader.Stream(i);
    if (s.header.type != type) continue;
    const int channel = PinChannel(StreamPinName(int(i), s.name));
    if (channel == camera) return int(i);
    named = named || channel >= 0;
  }
  return named ? -1 : reader.NthStreamOfType(type, camera);
}

std::array<double, 4> StatedCameraAspects(const std::string& path) {
  std::array<double, 4> aspects{};
  avi::AviReader reader;
  if (!reader.Open(path, avi::AviReader::Load::kHeadersOnly)) return aspects;
  for (int c = 0; c < 4; ++c)
    if (const int s = CameraStream(reader, avi::kVids, c); s >= 0)
      aspects[std::size_t(c)] = avi::StatedFrameAspect(reader.Stream(std::size_t(s)).vprp);
  return aspects;
}

std::array<bool, 4> CamerasWithVideo(const std::string& path) {
  std::array<bool, 4> cameras{};
  avi::AviReader reader;
  if (!reader.Open(path, avi::AviReader::Load::kHeadersOnly)) return cameras;
  for (int c = 0; c < 4; ++c) cameras[std::size_t(c)] = CameraStream(reader, avi::kVids, c) >= 0;
  return cameras;
}
