#include "engine/metadata_scan.h"

#include <algorithm>

#include "avi/avi_length.h"
#include "avi/avi_reader.h"
#include "engine/numbered_run.h"
#include "engine/recording_layout.h"
#include "engine/recording_properties.h"
#include "metadata/metadata_decoder.h"

namespace {

// How often a long file reports progress and looks at the cancel flag.
constexpr std::size_t kProgressEvery = 4096;
// The part of a frame a text-line check reads.
constexpr std::size_t kTextLineTailBytes = 128;

// Hundredths of a second at which chunk k of a stream with this header
// starts; 64-bit all the way, so a rate of a few units and a long file
// can't overflow.
int64_t ChunkCentis(const avi::StreamHeader& h, std::size_t k) {
  return int64_t(k) * int64_t(h.scale) * 100 / int64_t(h.rate);
}

bool HasTiming(const avi::StreamHeader& h) {
  return h.scale != 0 && h.rate != 0;
}

// The video stream carrying camera `channel`: by its pin name when the file
// names its streams (a missing camera shifts the order), otherwise the
// channel-th video stream; the first video stream when that camera is absent.
int VideoStreamOf(const avi::AviReader& reader, int channel) {
  int first = -1;
  int nth = -1;
  int seen = 0;
  for (std::size_t i = 0; i < reader.StreamCount(); ++i) {
    const avi::AviStream& s = reader.Stream(i);
    if (s.header.type != avi::kVids) continue;
    if (first < 0) first = int(i);
    if (seen++ == channel) nth = int(i);
    if (!s.name.empty() && PinChannel(StreamPinName(int(i), s.name)) == channel) return int(i);
  }
  return nth >= 0 ? nth : first;
}

struct Source {
  int stream = -1;
  bool metadataStream = false;
};

// The metadata stream when it holds samples, otherwise the camera's frames.
Source PickSource(const avi::AviReader& reader, int channel) {
  const int meta = reader.NthStreamOfType(avi::kTxts, 0);
  if (meta >= 0 && reader.ChunkCount(std::size_t(meta)) > 0) return {meta, true};
  return {VideoStreamOf(reader, channel), false};
}

}  // namespace

FileScan ScanRecordingFile(const std::string& path, int cameraChannel) {
  return ScanRecordingFile(path, cameraChannel, nullptr, {});
}

FileScan ScanRecordingFile(const std::string& path, int cameraChannel, const std::atomic<bool>* cancel,
                           const ScanProgress& progress) {
  FileScan scan;
  scan.path = path;
  scan.lengthCentis = avi::ReadAviLength(path).lengthCentis;

  avi::AviReader reader;
  if (!reader.Open(path)) {
    scan.error = reader.Error();
    return scan;
  }
  const Source source = PickSource(reader, std::clamp(cameraChannel, 0, 3));
  if (source.stream < 0) {
    scan.error = "no video or metadata stream";
    return scan;
  }
  scan.fromMetadataStream = source.metadataStream;
  const avi::AviStream& stream = reader.Stream(std::size_t(source.stream));
  // A metadata stream without usable timing runs at the frames' rate.
  avi::StreamHeader timing = stream.header;
  if (!HasTiming(timing)) {
    const int video = VideoStreamOf(reader, 0);
    if (video >= 0) timing = reader.Stream(std::size_t(video)).header;
  }
  if (!HasTiming(timing)) {
    scan.error = "the stream has no frame rate";
    return scan;
  }

  const std::size_t count = stream.chunks.size();
  scan.records.reserve(count);
  uint8_t record[kMetadataSampleBytes];
  std::vector<uint8_t> tail(kTextLineTailBytes);
  for (std::size_t k = 0; k < count; ++k) {
    if (k % kProgressEvery == 0 && k > 0) {
      if (cancel && cancel->load()) {
        scan.error = kScanCancelledError;
        return scan;
      }
      if (progress) progress(double(k) / double(count));
    }
    const avi::ChunkEntry& chunk = stream.chunks[k];
    uint64_t at;
    if (chunk.size == kMetadataSampleBytes) {
      at = chunk.offset;
    } else if (chunk.size >= kFrameMinimumBytes) {
      at = chunk.offset + kFrameMetadataOffset;
    } else {
      continue;  // carries no record (a dropped or padding frame)
    }
    if (!reader.ReadBytes(at, record, sizeof record)) {
      scan.error = "read failed at frame " + std::to_string(k);
      return scan;
    }
    if (!HasMetadataMagic(record)) {
      // The two-channel recorder writes text lines in the frame's tail
      // instead of a record: nothing to plot, and every frame is the same.
      if (chunk.size >= kFrameMinimumBytes &&
          reader.ReadBytes(chunk.offset + chunk.size - kTextLineTailBytes, tail.data(), tail.size()) &&
          FrameHoldsTextLines(tail.data(), tail.size())) {
        scan.textLines = true;
        scan.records.clear();
        return scan;
      }
      continue;
    }
    scan.records.push_back({ChunkCentis(timing, k), UnpackMetadataSample(record)});
  }

  // The header says how many frames the recorder wrote; fewer in the index
  // means the file was cut short (a walk over what is left found them).
  if (stream.header.length > count) {
    scan.error = "the file ends early: " + std::to_string(count) + " of " +
                 std::to_string(stream.header.length) + " frames";
  }
  return scan;
}

RecordingScan ScanRecording(const std::string& path, const std::atomic<bool>* cancel,
                            const ScanProgress& progress) {
  return ScanRecording(path, cancel, progress,
                       [](const std::string& file, const std::atomic<bool>* stop, const ScanProgress& p) {
                         return ScanRecordingFile(file, 0, stop, p);
                       });
}

RecordingScan ScanRecording(const std::string& path, const std::atomic<bool>* cancel,
                            const ScanProgress& progress, const FileScanner& scanFile) {
  std::vector<std::string> run, empty;
  for (NumberedRunFile& f : ListNumberedRun(path)) (f.empty ? empty : run).push_back(std::move(f.path));
  if (run.empty()) return ScanRecordingFiles({path}, cancel, progress, scanFile);  // the error names the file
  RecordingScan scan = ScanRecordingFiles(run, cancel, progress, scanFile);
  scan.emptyFiles = std::move(empty);
  return scan;
}

RecordingScan ScanRecordingFiles(const std::vector<std::string>& run, const std::atomic<bool>* cancel,
                                 const ScanProgress& progress, const FileScanner& scanFile) {
  RecordingScan result;
  const TriggerNameList defaults = DefaultTriggerNames();
  result.triggerNames.assign(defaults.begin(), defaults.end());
  if (run.empty()) return result;

  RecordingProperties props;
  if (ReadRecordingProperties(run.front(), props, HeaderCorrection::kReportOnly) == kPropertiesOk) {
    result.triggerNames.assign(props.triggerNames.begin(), props.triggerNames.end());
  }

  // Files follow each other on one timeline, each as long as its headers
  // say, which is how the engine lays out a sequence.
  int64_t start = 0;
  const double files = double(run.size());
  for (std::size_t i = 0; i < run.size(); ++i) {
    if (cancel && cancel->load()) break;
    if (progress) progress(double(i) / files);
    const ScanProgress inFile =
        progress ? ScanProgress([&](double f) { progress((double(i) + f) / files); }) : ScanProgress();
    FileScan scan = scanFile(run[i], cancel, inFile);
    scan.startCentis = start;
    start += scan.lengthCentis;
    result.files.push_back(std::move(scan));
  }
  if (progress) progress(1.0);
  return result;
}
