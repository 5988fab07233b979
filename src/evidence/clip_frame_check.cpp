#include "evidence/clip_frame_check.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "avi/avi_chunk_cursor.h"
#include "avi/avi_reader.h"
#include "avi/frame_timing.h"
#include "engine/camera_streams.h"

namespace evidence {
namespace {

constexpr int kDifferencesShownPerCamera = 5;
// How many of a clip's first frames must sit at the expected place for the
// clip to count as in place (a few swapped or changed frames are no shift).
constexpr std::size_t kAlignmentProbe = 8;
// How far outside the range a clip's start is looked for, in seconds.
constexpr double kStartSearchSeconds = 2.0;

std::string Base(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// One video stream across several files, frame by frame.
class StreamRun {
 public:
  struct Part {
    std::unique_ptr<avi::AviReader> reader;
    std::unique_ptr<avi::AviChunkCursor> cursor;
    int stream = -1;
    int64_t frames = 0;
    std::string name;
  };

  // False with "NAME: reason" in `error` when `path` can't be read; a part
  // without the stream (stream < 0) holds no frame.
  bool Add(const std::string& path, std::optional<int> stream, int camera, std::string& error) {
    Part part;
    part.reader = std::make_unique<avi::AviReader>();
    if (!part.reader->Open(path)) return error = Base(path) + ": " + part.reader->Error(), false;
    part.stream = stream ? *stream : CameraStream(*part.reader, avi::kVids, camera);
    part.name = Base(path);
    part.frames = part.stream >= 0 ? int64_t(part.reader->ChunkCount(std::size_t(part.stream))) : 0;
    part.cursor = std::make_unique<avi::AviChunkCursor>(*part.reader);
    total_ += part.frames;
    parts_.push_back(std::move(part));
    return true;
  }

  std::vector<Part>& parts() { return parts_; }
  int64_t total() const { return total_; }

  // Frames of the run before part `index`.
  int64_t FramesBefore(std::size_t index) const {
    int64_t n = 0;
    for (std::size_t i = 0; i < index && i < parts_.size(); ++i) n += parts_[i].frames;
    return n;
  }

  // "NAME frame K" of frame g of the run.
  std::string Where(int64_t g) const {
    for (const Part& p : parts_) {
      if (g >= 0 && g < p.frames) return p.name + " frame " + std::to_string(g);
      g -= p.frames;
    }
    return "no frame";
  }

  // The stored size of frame g, without reading it; nullopt outside the run.
  std::optional<uint32_t> Size(int64_t g) const {
    for (const Part& p : parts_) {
      avi::ChunkEntry entry;
      if (g >= 0 && g < p.frames) {
        if (!p.reader->Chunk(std::size_t(p.stream), std::size_t(g), entry)) return std::nullopt;
        return entry.size;
      }
      g -= p.frames;
    }
    return std::nullopt;
  }

  // Frame g of the run; ok false when it is outside the run or unreadable.
  std::span<const uint8_t> Frame(int64_t g, bool& ok) {
    ok = false;
    for (Part& p : parts_) {
      if (g >= 0 && g < p.frames) return p.cursor->ViewChunk(std::size_t(p.stream), std::size_t(g), ok);
      g -= p.frames;
    }
    return {};
  }

 private:
  std::vector<Part> parts_;
  int64_t total_ = 0;
};

// A zero-byte frame has no data pointer; std::equal needs none.
bool Same(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", s);
  return text;
}

// The checks of one camera: the clips' frames, all segments in a row,
// against the source frames first .. first + count - 1.
class CameraCheck {
 public:
  CameraCheck(std::string who, StreamRun& clip, StreamRun& source, avi::FrameSpan range, double fps,
              std::vector<std::string>& out)
      : who_(std::move(who)), clip_(clip), source_(source), range_(range), fps_(fps), out_(out) {}

  int64_t Run() {
    int64_t compared = 0;
    int64_t at = 0;  // where, in range frames, the next clip frame belongs
    for (std::size_t i = 0; i < clip_.parts().size(); ++i) {
      StreamRun::Part& part = clip_.parts()[i];
      if (part.frames == 0) continue;
      const int64_t placed = Place(part, at);
      if (placed > at) {
        out_.push_back(part.name + ": " + who_ + " frame 0 is range frame " + std::to_string(placed) +
                       ", not " + std::to_string(at) + (i == 0 ? " (the clip starts late)" : ""));
        Missing(at, std::min(placed, range_.count));
      } else if (placed < at) {
        out_.push_back(part.name + ": " + who_ + " frame 0 is " + Describe(placed) + ", not range frame " +
                       std::to_string(at) + (i == 0 ? " (the clip starts early)" : " (frames repeated)"));
      }
      compared += Compare(part, placed);
      at = placed + part.frames;
    }
    Missing(at, range_.count);
    if (clip_.total() != range_.count) {
      out_.push_back(who_ + ": the clips hold " + std::to_string(clip_.total()) + " frames, the range " +
                     std::to_string(range_.count));
    }
    if (hidden_ > 0) out_.push_back(who_ + ": " + std::to_string(hidden_) + " more frames differ");
    return compared;
  }

 private:
  // "range frame N" or, outside the range, how far before or after it.
  std::string Describe(int64_t r) const {
    if (r >= 0 && r < range_.count) return "range frame " + std::to_string(r);
    const int64_t off = r < 0 ? -r : r - range_.count + 1;
    const std::string how = std::to_string(off) + " frames (" + Seconds(double(off) / fps_) + ")";
    return source_.Where(range_.first + r) + ", " + how + (r < 0 ? " before the range" : " after the range");
  }

  // Range frames [from, to) are in no clip.
  void Missing(int64_t from, int64_t to) {
    if (from >= to) return;
    out_.push_back(who_ + ": range frames " + std::to_string(from) + " to " + std::to_string(to - 1) + " (" +
                   source_.Where(range_.first + from) + " to " + source_.Where(range_.first + to - 1) + ", " +
                   Seconds(double(from) / fps_) + " to " + Seconds(double(to) / fps_) +
                   " into the range) are in no clip");
  }

  bool Matches(StreamRun::Part& part, int64_t k, int64_t r) {
    const std::optional<uint32_t> size = source_.Size(range_.first + r);
    avi::ChunkEntry entry;
    if (!size || !part.reader->Chunk(std::size_t(part.stream), std::size_t(k), entry) || entry.size != *size)
      return false;
    bool ok = false;
    const std::span<const uint8_t> mine =
        part.cursor->ViewChunk(std::size_t(part.stream), std::size_t(k), ok);
    if (!ok) return false;
    bool sourceOk = false;
    return Same(mine, source_.Frame(range_.first + r, sourceOk)) && sourceOk;
  }

  // The range frame the part's frame 0 holds: `expected` when any of its
  // first frames sits there, otherwise where its first frame is found among
  // the source frames near the range (sizes first, so only a frame of the
  // same size is read); `expected` when it is nowhere.
  int64_t Place(StreamRun::Part& part, int64_t expected) {
    const int64_t probe = std::min<int64_t>(part.frames, kAlignmentProbe);
    for (int64_t k = 0; k < probe; ++k) {
      if (Matches(part, k, expected + k)) return expected;
    }
    const int64_t window = int64_t(kStartSearchSeconds * fps_) + 1;
    const int64_t low = std::max<int64_t>(-range_.first, -window);
    const int64_t high = std::min<int64_t>(source_.total() - range_.first, range_.count + window);
    for (int64_t step = 1; expected - step >= low || expected + step < high; ++step) {
      for (const int64_t r : {expected + step, expected - step}) {
        if (r < low || r >= high) continue;
        if (Matches(part, 0, r) && (part.frames < 2 || Matches(part, 1, r + 1))) return r;
      }
    }
    return expected;
  }

  // Compares the part's frames with the source frames from range frame
  // `placed` on; returns how many were compared.
  int64_t Compare(StreamRun::Part& part, int64_t placed) {
    int64_t compared = 0;
    int64_t outsideFrom = -1;
    auto endOutside = [&](int64_t k) {
      if (outsideFrom < 0) return;
      out_.push_back(part.name + ": " + who_ + " frames " + std::to_string(outsideFrom) + " to " +
                     std::to_string(k - 1) + " lie outside the range");
      outsideFrom = -1;
    };
    std::vector<uint8_t> bytes;
    for (int64_t k = 0; k < part.frames; ++k) {
      const int64_t r = placed + k;
      if (r < 0 || r >= range_.count) {
        if (outsideFrom < 0) outsideFrom = k;
        continue;
      }
      endOutside(k);
      ++compared;
      std::string problem;
      bool sourceOk = false;
      if (!part.cursor->ReadChunk(std::size_t(part.stream), std::size_t(k), bytes)) {
        problem = "cannot be read";
      } else if (const auto original = source_.Frame(range_.first + r, sourceOk); !sourceOk) {
        problem = "has no readable source frame (" + source_.Where(range_.first + r) + ")";
      } else if (!Same(bytes, original)) {
        problem = "differs from " + source_.Where(range_.first + r);
      }
      if (problem.empty()) continue;
      if (shown_ < kDifferencesShownPerCamera) {
        ++shown_;
        out_.push_back(part.name + ": " + who_ + " frame " + std::to_string(k) + " " + problem);
      } else {
        ++hidden_;
      }
    }
    endOutside(part.frames);
    return compared;
  }

  std::string who_;
  StreamRun& clip_;
  StreamRun& source_;
  avi::FrameSpan range_;
  double fps_;
  std::vector<std::string>& out_;
  int shown_ = 0;
  int64_t hidden_ = 0;
};

// "clip-002.avi" style names skipped between the package's clips.
void NameMissingSegments(const std::vector<std::string>& clipPaths, std::vector<std::string>& out) {
  int last = 0;
  for (const std::string& path : clipPaths) {
    const std::string name = Base(path);
    // NAME-NNN.avi, as the extractor names the segments of a long range.
    const std::size_t n = name.size();
    if (n < 8 || name.compare(n - 4, 4, ".avi") != 0 || name[n - 8] != '-' ||
        !std::all_of(name.begin() + long(n - 7), name.begin() + long(n - 4),
                     [](char c) { return c >= '0' && c <= '9'; }))
      return;  // not numbered segments
    const int number = std::stoi(name.substr(n - 7, 3));
    const std::size_t dash = n - 8;
    const std::string stem = name.substr(0, dash);
    for (int m = last + 1; m < number; ++m) {
      char missing[32];
      std::snprintf(missing, sizeof missing, "-%03d.avi", m);
      out.push_back(stem + missing + ": segment " + std::to_string(m) +
                    " of the range is not in the package");
    }
    last = number;
  }
}

}  // namespace

std::vector<std::string> CheckClipFrames(const PackageDescription& package,
                                         const std::vector<std::string>& clipPaths,
                                         const std::vector<std::string>& sourcePaths, int64_t& frames) {
  std::vector<std::string> mismatches;
  frames = 0;
  NameMissingSegments(clipPaths, mismatches);
  // The extractor counts the range from the file it starts in: the last
  // source that starts at or before it.
  std::size_t startFile = 0;
  for (std::size_t f = 0; f < package.sources.size() && f < sourcePaths.size(); ++f) {
    if (package.sources[f].startCentis <= package.fromCentis) startFile = f;
  }
  const int64_t fileStart = startFile < package.sources.size() ? package.sources[startFile].startCentis : 0;

  for (std::size_t i = 0; i < package.cameras.size(); ++i) {
    const int camera = package.cameras[i];
    const std::string who = "camera " + std::to_string(camera);
    StreamRun clip, source;
    std::string error;
    bool readable = true;
    for (const std::string& path : clipPaths) {
      avi::AviReader probe;
      const int stream = probe.Open(path) ? probe.NthStreamOfType(avi::kVids, int(i)) : -1;
      if (stream < 0 && probe.IsOpen()) {
        mismatches.push_back(Base(path) + ": has no video stream for " + who);
        continue;
      }
      if (!clip.Add(path, stream, camera - 1, error)) mismatches.push_back(error);
    }
    for (const std::string& path : sourcePaths) {
      if (!source.Add(path, std::nullopt, camera - 1, error)) {
        mismatches.push_back(error);
        readable = false;
        break;
      }
    }
    if (!readable) continue;
    if (source.parts().empty()) {
      mismatches.push_back("the package names no source recording");
      break;
    }
    const StreamRun::Part& first = source.parts()[std::min(startFile, source.parts().size() - 1)];
    const double fps =
        first.stream >= 0 ? avi::FramesPerSecond(first.reader->Stream(std::size_t(first.stream)).header) : 0;
    if (!(fps > 0)) {
      mismatches.push_back(first.name + ": has no video stream for " + who);
      continue;
    }
    avi::FrameSpan range = avi::FramesOfTimeSpan(double(package.fromCentis - fileStart) / 100.0,
                                                 double(package.toCentis - fileStart) / 100.0, fps);
    range.first += source.FramesBefore(startFile);
    if (range.end() > source.total()) {
      mismatches.push_back(who + ": the sources hold " +
                           std::to_string(std::max<int64_t>(0, source.total() - range.first)) +
                           " of the range's " + std::to_string(range.count) + " frames");
      range.count = std::max<int64_t>(0, source.total() - range.first);
    }
    frames += CameraCheck(who, clip, source, range, fps, mismatches).Run();
  }
  return mismatches;
}

}  // namespace evidence
