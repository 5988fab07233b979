#include "recording_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "avi/avi_writer.h"
#include "camera_picture.h"
#include "config_block.h"
#include "expected_metadata.h"
#include "metadata/metadata_sample.h"
#include "mulaw_tone.h"
#include "snapshot/jpeg_memory_encoder.h"

namespace recgen {
namespace {

// APP4 carries the per-frame record: unused by JFIF, Exif (APP1) and ICC
// (APP2), so decoders skip it without trying to interpret it.
constexpr int kMetadataMarker = 0xE4;
constexpr std::size_t kTailBytes = 128;

enum class StreamRole { kVideo, kAudio, kMeta };

struct PlannedStream {
  StreamRole role;
  int camera;  // 1..4 (video/audio of a four-channel file), 0 otherwise
  int index = -1;
};

std::string PinName(int number) {
  char name[16];
  std::snprintf(name, sizeof name, "Stream %02d", number % 100);
  return name;
}

// Three text lines in the frame's last 128 bytes, minus the EOI marker that
// the encoder puts after them.
std::vector<uint8_t> TextLineTail(const std::array<std::string, 3>& lines, TextLines placement) {
  std::vector<uint8_t> tail(kTailBytes, ' ');
  const std::size_t first = placement == TextLines::kA ? 0 : 8;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t slot = first + 31 * i;
    const std::string& line = lines[i];
    for (std::size_t k = 0; k < 30; ++k) tail[slot + k] = k < line.size() ? uint8_t(line[k]) : uint8_t(' ');
    tail[slot + 30] = 0;
  }
  tail.resize(kTailBytes - 2);
  return tail;
}

class RecordingBuilder {
 public:
  RecordingBuilder(const RecordingOptions& o) : o_(o) { FrameSize(o, width_, height_); }

  bool Write(const std::filesystem::path& path, std::string& error) {
    if (!Plan(error)) return false;
    avi::MainHeader main;
    main.microSecPerFrame = uint32_t(std::lround(1e6 / o_.fps));
    main.flags = 0x100;  // interleaved
    main.width = uint32_t(width_);
    main.height = uint32_t(height_);
    avi::AviWriter writer(main);
    for (PlannedStream& s : streams_) s.index = writer.AddStream(StreamSpec(s));
    if (o_.header380) writer.SetHeaderListBytes(380);
    if (o_.oneStreamHeader) writer.SetDeclaredStreamCount(1);
    if (!AddConfig(writer, error)) return false;

    bool ok = writer.Open(path);
    const int64_t frames = FrameCount(o_);
    for (int64_t k = 0; ok && k < frames; ++k) ok = WriteFrame(writer, k, error);
    ok = writer.Close() && ok;
    if (!ok) {
      if (error.empty()) error = writer.error();
      std::error_code ec;
      std::filesystem::remove(path, ec);
    }
    return ok;
  }

 private:
  bool Plan(std::string& error) {
    if (o_.kind < 0 || o_.kind > 3) return error = "kind must be 0 to 3", false;
    if (o_.kind == 0) {
      bool any = false;
      for (int c = 0; c < 4; ++c) {
        if (o_.video[std::size_t(c)]) streams_.push_back({StreamRole::kVideo, c + 1}), any = true;
        if (o_.audio[std::size_t(c)]) streams_.push_back({StreamRole::kAudio, c + 1});
      }
      if (!any) return error = "a recording needs at least one camera with video", false;
    } else {
      streams_.push_back({StreamRole::kVideo, 0});
      if (o_.audio[0] || o_.audio[1]) streams_.push_back({StreamRole::kAudio, 0});
    }
    if (o_.meta == MetaPlacement::kStream || o_.meta == MetaPlacement::kBoth)
      streams_.push_back({StreamRole::kMeta, 0});
    frame_.assign(std::size_t(width_) * std::size_t(height_) * 3, 0);
    return true;
  }

  uint32_t FrameRate() const { return uint32_t(std::lround(o_.fps * 1000)); }

  avi::WriterStream StreamSpec(const PlannedStream& s) const {
    avi::StreamHeader h;
    std::vector<uint8_t> strf;
    int pin = 8;
    switch (s.role) {
      case StreamRole::kVideo: {
        const avi::FourCC codec = o_.h264 ? avi::kH264 : avi::kMJPG;
        h.type = avi::kVids;
        h.handler = codec;
        h.scale = 1000;
        h.rate = FrameRate();
        h.quality = 0xFFFFFFFFu;
        h.frameRight = int16_t(width_);
        h.frameBottom = int16_t(height_);
        strf = avi::MakeBitmapInfo(width_, height_, codec, 24, uint32_t(width_ * height_ * 3));
        pin = o_.kind == 0 ? 2 * (s.camera - 1) : 0;
        break;
      }
      case StreamRole::kAudio: {
        const uint16_t channels = o_.kind == 0 ? 1 : 2;
        h.type = avi::kAuds;
        h.scale = channels;
        h.rate = uint32_t(kAudioRate) * channels;
        h.sampleSize = channels;
        h.quality = 0xFFFFFFFFu;
        strf = avi::MakeWaveFormat(avi::kWaveFormatMuLaw, channels, kAudioRate, 8, channels);
        pin = o_.kind == 0 ? 2 * (s.camera - 1) + 1 : 1;
        break;
      }
      case StreamRole::kMeta:
        h.type = avi::kTxts;
        h.scale = 1000;
        h.rate = FrameRate();
        if (o_.dvrMetaHeader) {
          h.scale = 1;
          h.rate = uint32_t(std::lround(o_.fps));
          h.sampleSize = kMetadataSampleBytes;
          h.quality = 0xFFFFFFFFu;
        }
        // avidemux drops a stream whose strf is empty; the block holds the
        // record size, which no reader depends on.
        strf = {uint8_t(kMetadataSampleBytes), 0, 0, 0};
        break;
    }
    std::optional<std::string> name;
    if (o_.streamNames) name = PinName(pin);
    avi::WriterStream spec = avi::MakeWriterStream(h, std::move(strf), std::move(name));
    if (s.role == StreamRole::kVideo && o_.statedAspect.first > 0 && o_.statedAspect.second > 0)
      spec.vprp =
          avi::MakeVideoProperties(uint32_t(width_), uint32_t(height_), uint16_t(o_.statedAspect.first),
                                   uint16_t(o_.statedAspect.second), uint32_t(std::lround(o_.fps)));
    return spec;
  }

  bool AddConfig(avi::AviWriter& writer, std::string& error) {
    std::vector<uint8_t> block;
    if (o_.config == ConfigSource::kFile && !ConfigBlockFromFile(o_.configFile, block, error)) return false;
    if (o_.config == ConfigSource::kDefault)
      block = o_.configAtEnd ? AppendedConfigBlock(o_) : DefaultConfigBlock(o_);
    if (!block.empty()) {
      if (o_.configAtEnd)
        writer.SetTrailer(std::move(block));
      else
        writer.AddChunkBeforeMovi(avi::kJUNK, std::move(block));
    }
    if (!o_.version.empty()) writer.AddChunkBeforeMovi(avi::kJUNK, VersionChunkPayload(o_.version));
    return true;
  }

  bool EncodeVideo(int camera, int64_t k, std::vector<uint8_t>& jpeg, std::string& error) {
    const int64_t g = o_.firstFrame + k;
    const int stride = width_ * 3;
    switch (o_.kind) {
      case 0:
        PaintCameraPicture(frame_.data(), stride, 0, 0, width_, height_, camera, g);
        break;
      case 1:
        PaintCameraPicture(frame_.data(), stride, 0, 0, width_, height_, 1, g);
        break;
      case 2:
        PaintCameraPicture(frame_.data(), stride, 0, 0, width_, height_ / 2, 1, g);
        PaintCameraPicture(frame_.data(), stride, 0, height_ / 2, width_, height_ / 2, 2, g);
        break;
      default:
        PaintCameraPicture(frame_.data(), stride, 0, 0, width_ / 2, height_, 1, g);
        PaintCameraPicture(frame_.data(), stride, width_ / 2, 0, width_ / 2, height_, 2, g);
        break;
    }
    JpegEncodeOptions enc;
    enc.quality = o_.quality;
    enc.minimumBytes = kFrameMinimumBytes;
    const int recordCamera = o_.kind == 0 ? camera : 1;
    if (o_.textLines != TextLines::kNone) {
      enc.trailingBytes = TextLineTail(ExpectedTextLines(o_, recordCamera, k), o_.textLines);
    } else if (o_.meta == MetaPlacement::kFrames || o_.meta == MetaPlacement::kBoth) {
      JpegSegment record{kMetadataMarker, std::vector<uint8_t>(kMetadataSampleBytes)};
      PackMetadataSample(ExpectedMetadata(o_, recordCamera, k), record.payload.data());
      enc.headerSegments.push_back(std::move(record));
    }
    if (!EncodeJpegToMemory(frame_.data(), width_, height_, stride, enc, jpeg, error)) return false;
    if (HasFault(o_, FaultKind::kCorruptFrame, camera, k)) CorruptPictureData(jpeg);
    return true;
  }

  // Zeroes the second half of the picture data and the end marker: the
  // frame keeps its size and its record, but no longer decodes.
  static void CorruptPictureData(std::vector<uint8_t>& jpeg) {
    std::size_t scan = 0;
    for (std::size_t i = 2; i + 1 < jpeg.size(); ++i) {
      if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) scan = i;
    }
    if (scan == 0) return;
    std::fill(jpeg.begin() + std::ptrdiff_t(scan + (jpeg.size() - scan) / 2), jpeg.end(), uint8_t(0));
  }

  bool WriteFrame(avi::AviWriter& writer, int64_t k, std::string& error) {
    const int64_t g = o_.firstFrame + k;
    const int64_t first = AudioSampleOfFrame(o_.fps, g);
    const int64_t count = AudioSampleOfFrame(o_.fps, g + 1) - first;
    for (const PlannedStream& s : streams_) {
      bool ok = true;
      if (s.role == StreamRole::kVideo) {
        if (HasFault(o_, FaultKind::kDropFrame, s.camera, k)) continue;
        std::vector<uint8_t>& last = lastFrame_[std::size_t(std::max(s.camera, 1) - 1)];
        if (!HasFault(o_, FaultKind::kRepeatFrame, s.camera, k) || last.empty()) {
          if (!EncodeVideo(s.camera, k, last, error)) return false;
        }
        ok = writer.WriteChunk(s.index, last.data(), last.size());
      } else if (s.role == StreamRole::kAudio) {
        if (HasFault(o_, FaultKind::kDropAudio, s.camera, k)) continue;
        if (o_.kind == 0) {
          chunk_ = MuLawTone(s.camera, first, count);
        } else {
          const std::vector<uint8_t> left = MuLawTone(1, first, count), right = MuLawTone(2, first, count);
          chunk_.resize(left.size() * 2);
          for (std::size_t i = 0; i < left.size(); ++i) chunk_[2 * i] = left[i], chunk_[2 * i + 1] = right[i];
        }
        ok = writer.WriteChunk(s.index, chunk_.data(), chunk_.size());
      } else {
        uint8_t record[kMetadataSampleBytes];
        PackMetadataSample(ExpectedMetadata(o_, 0, k), record);
        ok = writer.WriteChunk(s.index, record, sizeof record);
      }
      if (!ok) return error = writer.error(), false;
    }
    return true;
  }

  const RecordingOptions& o_;
  int width_ = 0, height_ = 0;
  std::vector<PlannedStream> streams_;
  std::vector<uint8_t> frame_;
  std::vector<uint8_t> chunk_;
  std::array<std::vector<uint8_t>, 4> lastFrame_;  // each camera's frame last written
};

}  // namespace

bool WriteRecording(const std::filesystem::path& path, const RecordingOptions& options, std::string& error) {
  RecordingBuilder builder(options);
  return builder.Write(path, error);
}

bool WriteSequence(const std::filesystem::path& folder, const std::string& name, int count,
                   const RecordingOptions& options, std::string& error) {
  if (count < 1 || count > 998) return error = "a sequence has 1 to 998 files", false;
  RecordingOptions o = options;
  const int64_t frames = FrameCount(options);
  for (int i = 0; i < count; ++i) {
    char file[32];
    std::snprintf(file, sizeof file, "-%03d.avi", i + 1);
    o.firstFrame = options.firstFrame + frames * i;
    o.startUtc = options.startUtc + uint32_t(std::lround(options.fileGapSeconds * i));
    if (!WriteRecording(folder / (name + file), o, error)) return false;
  }
  return true;
}

std::string GroupFileName(const std::string& prefix, uint32_t localSeconds, const std::string& mark) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t t = std::time_t(localSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char name[64];
  std::snprintf(name, sizeof name, "_%s%02d--%04d_%02d.%02d.%02d", kMonths[tm.tm_mon % 12], tm.tm_mday,
                tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return prefix + name + mark + ".avi";
}

bool WriteGroup(const std::filesystem::path& folder, const std::string& prefix, int continuations,
                const std::string& mark, const RecordingOptions& options,
                std::vector<std::filesystem::path>& written, std::string& error) {
  if (continuations < 0 || continuations > 99) return error = "--continuations must be 0 to 99", false;
  if (mark != "+" && mark != "#") return error = "--mark must be + or #", false;
  if (options.seconds < 1.0)
    return error = "group files need at least one second each, to get distinct names", false;
  RecordingOptions o = options;
  const int64_t frames = FrameCount(options);
  for (int i = 0; i <= continuations; ++i) {
    o.firstFrame = options.firstFrame + frames * i;
    const MetadataSample first = ExpectedMetadata(o, 1, 0);
    const std::filesystem::path path = folder / GroupFileName(prefix, first.localSeconds, i == 0 ? "" : mark);
    if (!WriteRecording(path, o, error)) return false;
    written.push_back(path);
  }
  return true;
}

RecordingOptions DemoOptions() {
  RecordingOptions o;
  o.seconds = 10;
  o.fps = 15;
  o.title = "QMX Demo Van";
  o.triggerNames = {"Brake",   "Left Turn", "Right Turn", "Headlights", "Siren",   "Rear Door",
                    "Reverse", "Panic",     "Lightbar",   "Seat Belt",  "Ignition"};
  o.version = "4CH DVR v2.13 demo";
  return o;
}

bool WriteDemo(const std::filesystem::path& folder, std::string& error) {
  return WriteSequence(folder, "Trip", 3, DemoOptions(), error);
}

}  // namespace recgen
