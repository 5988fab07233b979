#include "evidence/clip_frame_check.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>

#include "avi/avi_chunk_cursor.h"
#include "avi/avi_reader.h"
#include "engine/recording_layout.h"

namespace evidence {
namespace {

constexpr int kMismatchesShownPerCamera = 5;
constexpr double kStartSearchSeconds = 2.0;

std::string Base(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// One video stream across several files, frame by frame.
struct StreamRun {
  struct Part {
    std::unique_ptr<avi::AviReader> reader;
    std::unique_ptr<avi::AviChunkCursor> cursor;
    int stream = -1;
    std::size_t frames = 0;
    std::string name;
  };
  std::vector<Part> parts;
  std::size_t total = 0;

  // Frame g of the run; empty with ok false when out of range or unreadable.
  std::span<const uint8_t> Frame(std::size_t g, bool& ok, std::string* where = nullptr,
                                 std::size_t* local = nullptr) {
    ok = false;
    for (Part& p : parts) {
      if (g < p.frames) {
        if (where) *where = p.name;
        if (local) *local = g;
        return p.cursor->ViewChunk(std::size_t(p.stream), g, ok);
      }
      g -= p.frames;
    }
    return {};
  }
};

bool AddPart(StreamRun& run, const std::string& path, int stream, std::string& error) {
  StreamRun::Part part;
  part.reader = std::make_unique<avi::AviReader>();
  if (!part.reader->Open(path)) return error = Base(path) + ": " + part.reader->Error(), false;
  part.stream = stream;
  part.name = Base(path);
  part.frames = stream >= 0 ? part.reader->ChunkCount(std::size_t(stream)) : 0;
  part.cursor = std::make_unique<avi::AviChunkCursor>(*part.reader);
  run.total += part.frames;
  run.parts.push_back(std::move(part));
  return true;
}

int CameraVideoStream(const avi::AviReader& reader, int camera) {
  for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
    const avi::AviStream& stream = reader.Stream(s);
    const std::string name = StreamPinName(int(s), stream.name);
    if (stream.header.type == avi::kVids && PinChannel(name) == camera - 1 &&
        PinMatchesStreamType(name, kVideoStream))
      return int(s);
  }
  return -1;
}

bool Same(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::vector<std::string> CheckClipFrames(const PackageDescription& package,
                                         const std::vector<std::string>& clipPaths,
                                         const std::vector<std::string>& sourcePaths, int64_t& frames) {
  std::vector<std::string> mismatches;
  frames = 0;
  for (std::size_t i = 0; i < package.cameras.size(); ++i) {
    const int camera = package.cameras[i];
    const std::string who = "camera " + std::to_string(camera);
    StreamRun clip, source;
    std::string error;
    for (const std::string& path : clipPaths) {
      avi::AviReader probe;
      const int stream = probe.Open(path) ? probe.NthStreamOfType(avi::kVids, int(i)) : -1;
      if (stream < 0 && probe.IsOpen()) {
        mismatches.push_back(Base(path) + ": has no video stream for " + who);
        continue;
      }
      if (!AddPart(clip, path, stream, error)) mismatches.push_back(error);
    }
    // Where the range starts among the source frames.
    std::size_t expected = 0, counted = 0;
    double fps = 0;
    for (std::size_t f = 0; f < sourcePaths.size(); ++f) {
      avi::AviReader probe;
      const int stream = probe.Open(sourcePaths[f]) ? CameraVideoStream(probe, camera) : -1;
      if (!AddPart(source, sourcePaths[f], stream, error)) {
        mismatches.push_back(error);
        break;
      }
      const avi::StreamHeader h =
          stream >= 0 ? probe.Stream(std::size_t(stream)).header : avi::StreamHeader{};
      if (fps == 0 && h.scale) fps = double(h.rate) / h.scale;
      const int64_t start = f < package.sources.size() ? package.sources[f].startCentis : 0;
      if (start <= package.fromCentis && h.scale) {
        expected =
            counted +
            std::size_t(std::ceil(double(package.fromCentis - start) * h.rate / h.scale / 100.0 - 1e-9));
      }
      counted += source.parts.back().frames;
    }
    if (clip.total == 0) {
      mismatches.push_back("the clips hold no frame of " + who);
      continue;
    }
    bool ok = false;
    std::vector<uint8_t> first;
    {
      const std::span<const uint8_t> f0 = clip.Frame(0, ok);
      first.assign(f0.begin(), f0.end());
    }
    const std::size_t window = std::size_t(kStartSearchSeconds * (fps > 0 ? fps : 30));
    std::size_t start = SIZE_MAX;
    for (std::size_t g = expected > window ? expected - window : 0;
         ok && g <= expected + window && g < source.total; ++g) {
      bool sourceOk = false;
      if (Same(first, source.Frame(g, sourceOk)) && sourceOk) {
        start = g;
        break;
      }
    }
    if (start == SIZE_MAX) {
      mismatches.push_back(Base(clipPaths.front()) + ": " + who +
                           " frame 0 is no source frame at the range's start");
      continue;
    }
    int shown = 0, hidden = 0;
    std::size_t clipFrame = 0;
    for (StreamRun::Part& part : clip.parts) {
      for (std::size_t k = 0; k < part.frames; ++k, ++clipFrame) {
        ++frames;
        std::vector<uint8_t> bytes;
        std::string problem;
        if (!part.cursor->ReadChunk(std::size_t(part.stream), k, bytes)) {
          problem = "cannot be read";
        } else {
          bool sourceOk = false;
          std::string sourceName;
          std::size_t sourceFrame = 0;
          const std::span<const uint8_t> original =
              source.Frame(start + clipFrame, sourceOk, &sourceName, &sourceFrame);
          if (!sourceOk) {
            problem = "is beyond the source frames";
          } else if (!Same(bytes, original)) {
            problem = "differs from " + sourceName + " frame " + std::to_string(sourceFrame);
          }
        }
        if (problem.empty()) continue;
        if (shown < kMismatchesShownPerCamera) {
          ++shown;
          mismatches.push_back(part.name + ": " + who + " frame " + std::to_string(k) + " " + problem);
        } else {
          ++hidden;
        }
      }
    }
    if (hidden > 0) mismatches.push_back(who + ": " + std::to_string(hidden) + " more frames differ");
  }
  return mismatches;
}

}  // namespace evidence
