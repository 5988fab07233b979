#include "report/camera_picture_at.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "avi/avi_reader.h"
#include "avi/frame_timing.h"
#include "engine/camera_streams.h"
#include "snapshot/jpeg_file.h"

namespace report {

bool CameraPictureAt(const std::vector<clip::ClipSourceFile>& files, int camera, int64_t centis,
                     CameraPicture& picture, std::string& error) {
  const std::string who = "camera " + std::to_string(camera + 1);
  for (const clip::ClipSourceFile& file : files) {
    if (file.endCentis <= centis) continue;
    avi::AviReader reader;
    if (!reader.Open(file.path)) return error = file.path + ": " + reader.Error(), false;
    const int stream = CameraStream(reader, avi::kVids, camera);
    if (stream < 0) continue;
    const double fps = avi::FramesPerSecond(reader.Stream(std::size_t(stream)).header);
    const int64_t k =
        std::max<int64_t>(0, avi::FirstFrameAtOrAfter(double(centis - file.startCentis) / 100.0, fps));
    if (std::size_t(k) >= reader.ChunkCount(std::size_t(stream))) continue;  // past this file's last frame
    const std::string where = file.path + ": " + who + " frame " + std::to_string(k);
    std::vector<uint8_t> jpeg;
    if (!reader.ReadChunk(std::size_t(stream), std::size_t(k), jpeg))
      return error = where + " cannot be read: " + reader.Error(), false;
    std::string reason;
    int width = 0, height = 0;
    const std::unique_ptr<uint8_t[]> rgb = ReadJpegMemory(jpeg.data(), jpeg.size(), width, height, reason);
    if (!rgb) return error = where + " is no picture: " + reason, false;
    picture.width = width;
    picture.height = height;
    picture.rgb.assign(rgb.get(), rgb.get() + std::size_t(width) * std::size_t(height) * 3);
    picture.file = std::filesystem::path(file.path).filename().string();
    picture.frame = k;
    picture.centis = file.startCentis + (fps > 0 ? int64_t(std::floor(double(k) * 100.0 / fps + 1e-9)) : 0);
    return true;
  }
  return error = "the recording holds no frame of " + who + " at or after " + std::to_string(centis) +
                 " hundredths",
         false;
}

}  // namespace report
