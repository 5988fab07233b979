#include "clip_fixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "avi/avi_reader.h"
#include "clip/camera_segment_copy.h"
#include "md5.h"
#include "recording_writer.h"

namespace cliptest {

recgen::RecordingOptions SmallOptions(double seconds, double fps) {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  o.seconds = seconds;
  o.fps = fps;
  o.quality = 30;
  return o;
}

std::vector<std::string> WriteRun(const std::filesystem::path& folder, const std::string& name, int count,
                                  const recgen::RecordingOptions& options) {
  std::string error;
  EXPECT_TRUE(recgen::WriteSequence(folder, name, count, options, error)) << error;
  std::vector<std::string> paths;
  for (int i = 1; i <= count; ++i) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-%03d.avi", i);
    paths.push_back((folder / (name + suffix)).string());
  }
  return paths;
}

std::vector<std::vector<uint8_t>> SourceFrames(const std::vector<std::string>& files, int camera) {
  std::vector<std::vector<uint8_t>> frames;
  for (const std::string& f : files) {
    avi::AviReader r;
    EXPECT_TRUE(r.Open(f)) << r.Error();
    const int v = CameraStream(r, avi::kVids, camera);
    for (std::size_t k = 0; k < r.ChunkCount(std::size_t(v)); ++k) {
      frames.emplace_back();
      EXPECT_TRUE(r.ReadChunk(std::size_t(v), k, frames.back()));
    }
  }
  return frames;
}

FrameRange FramesIn(int64_t startCentis, int64_t endCentis, int fps, int64_t available) {
  // k / fps >= s / 100  <=>  100 k >= s fps
  const int64_t first = (startCentis * fps + 99) / 100;
  const int64_t end = std::min<int64_t>((endCentis * fps + 99) / 100, available);
  return {first, std::max<int64_t>(end - first, 0)};
}

std::vector<uint8_t> SourceAudio(const std::vector<std::string>& files, int camera, int64_t first,
                                 int64_t count) {
  std::vector<uint8_t> bytes;
  int64_t fileStart = 0;
  for (const std::string& f : files) {
    avi::AviReader r;
    EXPECT_TRUE(r.Open(f)) << r.Error();
    const int v = CameraStream(r, avi::kVids, camera);
    const int a = CameraStream(r, avi::kAuds, camera);
    const int64_t frames = int64_t(r.ChunkCount(std::size_t(v)));
    const int64_t from = std::clamp<int64_t>(first - fileStart, 0, frames);
    const int64_t to = std::clamp<int64_t>(first + count - fileStart, 0, frames);
    if (to > from) {
      const std::vector<uint8_t> all = Joined(Chunks(f, a));
      const double startByte = double(from) / double(frames) * double(all.size());
      const double endByte = double(to) / double(frames) * double(all.size());
      const auto begin = all.begin() + int64_t(startByte);
      bytes.insert(bytes.end(), begin, begin + int64_t(endByte - startByte));
    }
    fileStart += frames;
  }
  return bytes;
}

std::vector<std::vector<uint8_t>> Chunks(const std::string& path, int stream) {
  avi::AviReader r;
  EXPECT_TRUE(r.Open(path)) << path << ": " << r.Error();
  std::vector<std::vector<uint8_t>> chunks(r.ChunkCount(std::size_t(stream)));
  for (std::size_t k = 0; k < chunks.size(); ++k) EXPECT_TRUE(r.ReadChunk(std::size_t(stream), k, chunks[k]));
  return chunks;
}

std::vector<uint8_t> Joined(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> all;
  for (const auto& c : chunks) all.insert(all.end(), c.begin(), c.end());
  return all;
}

std::string FileMd5(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return avitest::Md5Hex(bytes.data(), bytes.size());
}

std::vector<std::string> Listing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace cliptest
