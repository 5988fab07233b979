#include "export/video_exporter.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "avi/avi_reader.h"
#include "clip/camera_segment_copy.h"
#include "clip/extraction_plan.h"
#include "clip/private_temp_folder.h"
#include "clip/remove_unless_kept.h"
#include "engine/pipeline/gst_handles.h"
#include "export/frame_composer.h"
#include "export/frame_workers.h"
#include "metadata/glyph_font.h"

namespace video_export {
namespace {

// Frames queued ahead of the encoder: enough to keep it busy, little memory.
constexpr int kQueuedFrames = 4;
// The list's hash in the caption, where a line has little room; the file's
// comment has all of it.
constexpr std::size_t kCaptionHashDigits = 12;
// Frames the camera workers draw ahead of the one sent to the encoder.
constexpr int kFramesInFlight = 3;
// Sound is pushed this far ahead of the pictures, so the muxer never waits.
constexpr double kAudioLeadSeconds = 0.5;
// After the last frame, the encoder and muxer finish what is queued; a
// pipeline that says nothing for this long has stalled.
constexpr auto kFinishSilence = std::chrono::seconds(60);

VideoExportOutcome Fail(VideoExportStatus status, std::string reason) {
  VideoExportOutcome out;
  out.status = status;
  out.reason = std::move(reason);
  return out;
}

// Stops the pipeline on every path out.
struct PipelineStop {
  GstElement* pipeline;
  ~PipelineStop() { gst_element_set_state(pipeline, GST_STATE_NULL); }
};

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
  if (b.size() < at + 4) return 0;
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, std::size_t at) {
  if (b.size() < at + 2) return 0;
  return uint16_t(b[at] | b[at + 1] << 8);
}

// The caps of a camera's stored sound (its WAVEFORMATEX), or "" for a kind
// the export does not carry (only mu-law and 16-bit PCM are recorded).
std::string AudioCaps(const std::vector<uint8_t>& format, int& bytesPerSecond) {
  const uint16_t tag = Le16(format, 0), channels = Le16(format, 2), bits = Le16(format, 14);
  const uint32_t rate = Le32(format, 4);
  if (channels == 0 || channels > 2 || rate == 0 || rate > 192000) return "";
  if (tag == avi::kWaveFormatMuLaw) {
    bytesPerSecond = int(rate * channels);
    return "audio/x-mulaw,rate=" + std::to_string(rate) + ",channels=" + std::to_string(channels);
  }
  if (tag == avi::kWaveFormatPcm && bits == 16) {
    bytesPerSecond = int(rate * channels * 2);
    return "audio/x-raw,format=S16LE,layout=interleaved,rate=" + std::to_string(rate) +
           ",channels=" + std::to_string(channels);
  }
  return "";
}

// The bytes [slice.first, slice.first + slice.count) of a stream's data,
// chunks taken end to end, appended to `out`.
bool AppendAudioSlice(const avi::AviReader& reader, int stream, clip::AudioSlice slice,
                      std::vector<uint8_t>& out) {
  uint64_t chunkStart = 0;
  const uint64_t sliceEnd = slice.first + slice.count;
  for (const avi::ChunkEntry& c : reader.Stream(std::size_t(stream)).chunks) {
    if (chunkStart >= sliceEnd) break;
    const uint64_t chunkEnd = chunkStart + c.size;
    const uint64_t from = std::max(chunkStart, slice.first), to = std::min(chunkEnd, sliceEnd);
    if (from < to) {
      const std::size_t at = out.size();
      out.resize(at + std::size_t(to - from));
      if (!reader.ReadBytes(c.offset + (from - chunkStart), out.data() + at, std::size_t(to - from)))
        return false;
    }
    chunkStart = chunkEnd;
  }
  return true;
}

// The first error on the bus, or "" when none came within `timeout`; sets
// `eos` on end of stream.
std::string PopBus(GstBus* bus, GstClockTime timeout, bool& eos) {
  gsth::Message m(
      gst_bus_timed_pop_filtered(bus, timeout, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS)));
  if (!m) return "";
  if (GST_MESSAGE_TYPE(m.get()) == GST_MESSAGE_EOS) {
    eos = true;
    return "";
  }
  GError* error = nullptr;
  gst_message_parse_error(m.get(), &error, nullptr);
  std::string text = error && error->message ? error->message : "the encoder failed";
  if (error) g_error_free(error);
  return text;
}

// A frame being drawn: a pooled buffer, mapped for the workers.
class FrameSlot {
 public:
  FrameSlot() = default;
  ~FrameSlot() { Drop(); }
  FrameSlot(const FrameSlot&) = delete;
  FrameSlot& operator=(const FrameSlot&) = delete;
  bool Acquire(GstBufferPool* pool) {
    Drop();
    if (gst_buffer_pool_acquire_buffer(pool, &buffer_, nullptr) != GST_FLOW_OK) return false;
    mapped_ = gst_buffer_map(buffer_, &info_, GST_MAP_WRITE);
    return mapped_;
  }
  uint8_t* data() const { return info_.data; }
  // The drawn buffer, unmapped, for the caller to push.
  GstBuffer* Release() {
    if (mapped_) gst_buffer_unmap(buffer_, &info_);
    mapped_ = false;
    return std::exchange(buffer_, nullptr);
  }

 private:
  void Drop() {
    if (GstBuffer* b = Release()) gst_buffer_unref(b);
  }
  GstBuffer* buffer_ = nullptr;
  GstMapInfo info_{};
  bool mapped_ = false;
};

struct BufferPool {
  GstBufferPool* pool;
  ~BufferPool() {
    gst_buffer_pool_set_active(pool, FALSE);
    gst_object_unref(pool);
  }
};

// Where a file starts on the timeline.
int64_t FileStartCentis(const std::vector<clip::ClipSourceFile>& files, const std::string& path) {
  for (const clip::ClipSourceFile& f : files)
    if (f.path == path) return f.startCentis;
  return 0;
}

// Frame `index` of a file on the file's own clock, in hundredths.
int64_t FrameCentis(int64_t index, FrameRate rate) {
  return int64_t(FrameTimeNs(index, rate) / 10000000u);
}

bool Redacted(const VideoExportRequest& request) {
  return !request.redactions.items.empty();
}

bool HasElement(const char* name) {
  gsth::EnsureGstInitialized();
  GstElementFactory* f = gst_element_factory_find(name);
  if (!f) return false;
  gst_object_unref(f);
  return true;
}

}  // namespace

std::string RedactionStatement(const VideoExportRequest& request, std::size_t hashDigits) {
  std::string text = "Redacted by " + (request.redactionListName.empty() ? std::string("a redaction list")
                                                                         : request.redactionListName);
  if (!request.redactionListSha256.empty())
    text += " (SHA-256 " + request.redactionListSha256.substr(0, hashDigits) +
            (hashDigits < request.redactionListSha256.size() ? "..." : "") + ")";
  return text;
}

std::string AvailableAudioEncoder() {
  for (const char* name : {"avenc_aac", "voaacenc", "fdkaacenc", "opusenc"})
    if (HasElement(name)) return name;
  return "";
}

VideoExportOutcome ExportVideo(const VideoExportRequest& request, const std::atomic<bool>& cancel,
                               const VideoExportProgress& progress) {
  if (request.cameras == std::array<bool, 4>{})
    return Fail(VideoExportStatus::kBadInput, "no camera is chosen");
  if (request.startCentis < 0 || request.endCentis <= request.startCentis)
    return Fail(VideoExportStatus::kBadInput, "the end of the range is not after its start");
  const std::vector<clip::ClipSourceFile> files =
      clip::FilesForRange(request.files, request.startCentis, request.endCentis);
  if (files.empty()) return Fail(VideoExportStatus::kBadInput, "no file of the recording covers the range");
  const GlyphFont* small = SmallGlyphFont();
  const GlyphFont* large = LargeGlyphFont();
  if (!small || !large) return Fail(VideoExportStatus::kWriteFailed, "the overlay's fonts are not loaded");

  // The frames and sound of each camera, from the indexes alone, by the walk
  // clip extraction uses.
  std::vector<std::string> paths;
  for (const clip::ClipSourceFile& f : files) paths.push_back(f.path);
  const double start = double(request.startCentis) / 100 - double(files.front().startCentis) / 100;
  const double length = double(request.endCentis - request.startCentis) / 100;
  clip::SourceFiles sources;
  std::array<clip::CameraWalk, 4> walks;
  std::vector<int64_t> counts;
  int firstCamera = -1;
  for (int c = 0; c < 4; ++c) {
    const bool shown = request.cameras[std::size_t(c)];
    if (!shown && c != request.audioCamera) continue;
    walks[std::size_t(c)] = clip::WalkCameraSegment({paths, c, start, length, {}, {}}, sources, cancel);
    const clip::CameraWalk& w = walks[std::size_t(c)];
    if (w.end == clip::CopyEnd::kCancelled) return Fail(VideoExportStatus::kCancelled, "export cancelled");
    if (w.end == clip::CopyEnd::kSourceError)
      return Fail(VideoExportStatus::kReadFailed, w.detail.empty() ? w.message : w.detail);
    if (w.end == clip::CopyEnd::kRanOut)
      return Fail(VideoExportStatus::kBadInput, "the recording ends before the range does");
    if (!shown) continue;
    if (firstCamera < 0) firstCamera = c;
    int64_t n = 0;
    for (const clip::WalkPiece& p : w.pieces) n += int64_t(p.frames);
    counts.push_back(n);
  }
  const clip::CameraWalk& lead = walks[std::size_t(firstCamera)];
  const int cameraWidth = int(Le32(lead.videoStrf, 4));
  const int cameraHeight = std::abs(int(Le32(lead.videoStrf, 8)));
  const FrameRate rate = RateOfStream(Le32(lead.videoStrh, 24));
  if (cameraWidth <= 0 || cameraHeight <= 0 || cameraWidth > 8192 || cameraHeight > 8192 ||
      rate.numerator <= 0)
    return Fail(VideoExportStatus::kReadFailed,
                paths.front() + ": the video stream has no usable size or rate");
  const int64_t frameCount = ExportFrameCount(counts);
  if (frameCount == 0) return Fail(VideoExportStatus::kBadInput, "the range holds no frame");

  std::vector<std::string> names;
  for (int c = 0; c < 4; ++c)
    if (request.cameras[std::size_t(c)] && (request.layout == ExportLayout::kQuad || c == firstCamera))
      names.push_back(request.cameraNames[std::size_t(c)]);
  const ExportGeometry geometry = PlanGeometry(request.layout, request.cameras, cameraWidth, cameraHeight,
                                               CaptionBandRows(large->CellHeight()));
  const std::string caption =
      CaptionText(request.recordingName, names, request.startCentis, request.endCentis) +
      (Redacted(request) ? "  |  " + RedactionStatement(request, kCaptionHashDigits) : "");
  GstVideoInfo videoInfo;
  gst_video_info_set_format(&videoInfo, GST_VIDEO_FORMAT_I420, guint(geometry.width), guint(geometry.height));
  I420Layout layout;
  layout.width = geometry.width;
  layout.height = geometry.height;
  for (int plane = 0; plane < 3; ++plane) {
    layout.offset[std::size_t(plane)] = GST_VIDEO_INFO_PLANE_OFFSET(&videoInfo, plane);
    layout.stride[std::size_t(plane)] = GST_VIDEO_INFO_PLANE_STRIDE(&videoInfo, plane);
  }
  layout.size = GST_VIDEO_INFO_SIZE(&videoInfo);
  FrameComposer composer(geometry, layout, cameraWidth, cameraHeight, request.dvrKind,
                         request.fastDeinterlace, caption, large,
                         Redacted(request) ? &request.redactions : nullptr);

  // The chosen sound, read whole (a few megabytes an hour).
  std::vector<uint8_t> sound;
  std::string audioCaps;
  int bytesPerSecond = 0;
  const std::string encoder =
      request.audioCamera >= 0 && request.audioCamera < 4 ? AvailableAudioEncoder() : "";
  if (!encoder.empty()) {
    const clip::CameraWalk& w = walks[std::size_t(request.audioCamera)];
    audioCaps = AudioCaps(w.audioFormat, bytesPerSecond);
    for (const clip::WalkPiece& p : w.pieces)
      if (!audioCaps.empty() && !AppendAudioSlice(*p.reader, p.audioStream, p.audio, sound))
        return Fail(VideoExportStatus::kReadFailed, p.path + ": the sound can't be read");
    if (sound.empty()) audioCaps.clear();
  }

  std::error_code ec;
  const std::filesystem::path destination = request.destination;
  if (std::filesystem::is_directory(destination, ec))
    return Fail(VideoExportStatus::kWriteFailed, "is a folder");
  std::string error;
  const std::filesystem::path partial = clip::CreateSiblingTemporary(destination, error);
  if (partial.empty()) return Fail(VideoExportStatus::kWriteFailed, error);
  clip::RemoveUnlessKept cleanup(partial);

  gsth::EnsureGstInitialized();
  const std::string videoCaps =
      "video/x-raw,format=I420,colorimetry=bt709,width=" + std::to_string(geometry.width) +
      ",height=" + std::to_string(geometry.height) + ",framerate=" + std::to_string(rate.numerator) + "/" +
      std::to_string(rate.denominator);
  // x264 as ffmpeg's libx264 runs it at the same preset and quality: the
  // element's own defaults would add a 2 Mbit/s rate cap and longer GOPs.
  std::string description =
      "appsrc name=video format=time caps=\"" + videoCaps +
      "\" ! x264enc name=encoder pass=qual quantizer=" + std::to_string(request.quality) +
      " speed-preset=" + request.speedPreset +
      " key-int-max=250 vbv-buf-capacity=0 ! video/x-h264,profile=high ! queue ! mp4mux "
      "name=mux faststart=true ! filesink name=sink";
  if (!audioCaps.empty())
    description += " appsrc name=audio format=time caps=\"" + audioCaps + "\" ! " +
                   (audioCaps.rfind("audio/x-mulaw", 0) == 0 ? "mulawdec ! " : "") +
                   "audioconvert ! audioresample ! audio/x-raw,rate=48000 ! " + encoder + " ! queue ! mux.";
  GError* parseError = nullptr;
  gsth::Element pipeline(gst_parse_launch(description.c_str(), &parseError));
  if (parseError) {
    const std::string text = parseError->message ? parseError->message : "no pipeline";
    g_error_free(parseError);
    return Fail(VideoExportStatus::kWriteFailed, "the encoder could not be built: " + text);
  }
  gsth::Element videoSrc(gst_bin_get_by_name(GST_BIN(pipeline.get()), "video"));
  gsth::Element audioSrc(audioCaps.empty() ? nullptr : gst_bin_get_by_name(GST_BIN(pipeline.get()), "audio"));
  gsth::Element sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
  gsth::Element mux(gst_bin_get_by_name(GST_BIN(pipeline.get()), "mux"));
  g_object_set(sink.get(), "location", partial.c_str(), nullptr);
  g_object_set(videoSrc.get(), "max-bytes", guint64(composer.FrameBytes() * kQueuedFrames), "block", FALSE,
               nullptr);
  // Players show the title; the comment names the list a redacted export was made with.
  gst_tag_setter_add_tags(GST_TAG_SETTER(mux.get()), GST_TAG_MERGE_REPLACE, GST_TAG_TITLE, caption.c_str(),
                          nullptr);
  if (Redacted(request))
    gst_tag_setter_add_tags(GST_TAG_SETTER(mux.get()), GST_TAG_MERGE_REPLACE, GST_TAG_COMMENT,
                            RedactionStatement(request).c_str(), nullptr);
  // Recycled frames: no fresh pages to fault in for every picture.
  gsth::Caps poolCaps(gst_caps_from_string(videoCaps.c_str()));
  BufferPool pool{gst_buffer_pool_new()};
  GstStructure* poolConfig = gst_buffer_pool_get_config(pool.pool);
  gst_buffer_pool_config_set_params(poolConfig, poolCaps.get(), guint(composer.FrameBytes()), 0, 0);
  if (!gst_buffer_pool_set_config(pool.pool, poolConfig) || !gst_buffer_pool_set_active(pool.pool, TRUE))
    return Fail(VideoExportStatus::kWriteFailed, "out of memory");
  gsth::Bus bus(gst_element_get_bus(pipeline.get()));
  PipelineStop stop{pipeline.get()};
  if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    bool eos = false;
    const std::string why = PopBus(bus.get(), 0, eos);
    return Fail(VideoExportStatus::kWriteFailed, why.empty() ? "the encoder would not start" : why);
  }

  // Pushes sound up to `untilSeconds` of the export.
  std::size_t soundPushed = 0;
  const std::size_t soundBlock = std::size_t(bytesPerSecond) / 10 + 1;
  auto pushSound = [&](double untilSeconds) {
    if (!audioSrc) return;
    const std::size_t until = std::min(sound.size(), std::size_t(untilSeconds * bytesPerSecond));
    while (soundPushed < until) {
      const std::size_t n = std::min(soundBlock, until - soundPushed);
      GstBuffer* b = gst_buffer_new_memdup(sound.data() + soundPushed, n);
      GST_BUFFER_PTS(b) = gst_util_uint64_scale(soundPushed, GST_SECOND, uint64_t(bytesPerSecond));
      GST_BUFFER_DURATION(b) = gst_util_uint64_scale(n, GST_SECOND, uint64_t(bytesPerSecond));
      soundPushed += n;
      gst_app_src_push_buffer(GST_APP_SRC(audioSrc.get()), b);
    }
  };

  // Each camera's worker walks its own pieces: piece and frame within it.
  struct Cursor {
    std::size_t piece = 0, frame = 0;
    std::vector<uint8_t> stored = std::vector<uint8_t>(clip::kMaxFrameBytes);
    std::string error;  // the first read that failed
  };
  std::vector<int> cellCameras;
  for (const ExportCell& cell : geometry.cells) cellCameras.push_back(cell.camera);
  std::array<Cursor, 4> cursors;
  std::array<FrameSlot, kFramesInFlight> slots;
  auto drawCell = [&](int worker, int64_t k) {
    const int camera = cellCameras[std::size_t(worker)];
    Cursor& at = cursors[std::size_t(camera)];
    uint8_t* frame = slots[std::size_t(k % kFramesInFlight)].data();
    const clip::CameraWalk& w = walks[std::size_t(camera)];
    if (!at.error.empty() || cancel.load(std::memory_order_relaxed)) return;
    if (at.piece >= w.pieces.size()) {  // this camera's range ended: black
      composer.BlankCamera(frame, camera);
      return;
    }
    const clip::WalkPiece& p = w.pieces[at.piece];
    const std::size_t index = p.firstFrame + at.frame;
    const int64_t size =
        p.reader->ReadChunk(std::size_t(p.videoStream), index, at.stored.data(), at.stored.size());
    if (size < 0) {
      at.error = p.path + ": frame " + std::to_string(index) + " can't be read (truncated or unreadable)";
      return;
    }
    composer.DrawCamera(frame, camera, at.stored.data(), std::size_t(size),
                        FileStartCentis(request.files, p.path) + FrameCentis(int64_t(index), rate));
    if (++at.frame == p.frames) {
      at.piece += 1;
      at.frame = 0;
    }
  };
  // Workers stop before the slots they draw into go.
  FrameWorkers workers(int(cellCameras.size()), drawCell);

  // Frame k is begun and posted, then frame k - kFramesInFlight + 1 is sent
  // on once every camera has drawn it.
  for (int64_t k = 0; k < frameCount + kFramesInFlight - 1; ++k) {
    if (cancel.load(std::memory_order_relaxed))
      return Fail(VideoExportStatus::kCancelled, "export cancelled");
    if (k < frameCount) {
      FrameSlot& slot = slots[std::size_t(k % kFramesInFlight)];
      if (!slot.Acquire(pool.pool)) return Fail(VideoExportStatus::kWriteFailed, "out of memory");
      composer.BeginFrame(slot.data());
      workers.Post(k);
    }
    const int64_t ready = k - (kFramesInFlight - 1);
    if (ready < 0) continue;
    workers.WaitFor(ready);
    for (int camera : cellCameras)
      if (!cursors[std::size_t(camera)].error.empty())
        return Fail(VideoExportStatus::kReadFailed, cursors[std::size_t(camera)].error);
    // Room in the queue first: waiting on the bus, so an encoder error ends
    // the wait at once.
    while (gst_app_src_get_current_level_bytes(GST_APP_SRC(videoSrc.get())) >=
           composer.FrameBytes() * kQueuedFrames) {
      bool eos = false;
      const std::string why = PopBus(bus.get(), 20 * GST_MSECOND, eos);
      if (!why.empty()) return Fail(VideoExportStatus::kWriteFailed, why);
      if (cancel.load(std::memory_order_relaxed))
        return Fail(VideoExportStatus::kCancelled, "export cancelled");
    }
    GstBuffer* buffer = slots[std::size_t(ready % kFramesInFlight)].Release();
    GST_BUFFER_PTS(buffer) = FrameTimeNs(ready, rate);
    GST_BUFFER_DURATION(buffer) = FrameDurationNs(ready, rate);
    pushSound(double(FrameTimeNs(ready + 1, rate)) / 1e9 + kAudioLeadSeconds);
    if (gst_app_src_push_buffer(GST_APP_SRC(videoSrc.get()), buffer) != GST_FLOW_OK) {
      bool eos = false;
      const std::string why = PopBus(bus.get(), 0, eos);
      return Fail(VideoExportStatus::kWriteFailed, why.empty() ? "the encoder refused a frame" : why);
    }
    if (progress) progress(double(ready + 1) / double(frameCount + 1));
  }
  pushSound(double(sound.size()) / std::max(bytesPerSecond, 1) + 1);
  gst_app_src_end_of_stream(GST_APP_SRC(videoSrc.get()));
  if (audioSrc) gst_app_src_end_of_stream(GST_APP_SRC(audioSrc.get()));
  for (auto quietSince = std::chrono::steady_clock::now();;) {
    bool eos = false;
    const std::string why = PopBus(bus.get(), 100 * GST_MSECOND, eos);
    if (!why.empty()) return Fail(VideoExportStatus::kWriteFailed, why);
    if (eos) break;
    if (cancel.load(std::memory_order_relaxed))
      return Fail(VideoExportStatus::kCancelled, "export cancelled");
    if (std::chrono::steady_clock::now() - quietSince > kFinishSilence)
      return Fail(VideoExportStatus::kWriteFailed, "the encoder stopped answering");
  }
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  if (std::rename(partial.c_str(), destination.c_str()) != 0)
    return Fail(VideoExportStatus::kWriteFailed, std::strerror(errno));
  cleanup.Keep();
  if (progress) progress(1.0);
  VideoExportOutcome out;
  out.status = VideoExportStatus::kDone;
  out.frames = frameCount;
  out.width = geometry.width;
  out.height = geometry.height;
  out.audioEncoder = audioCaps.empty() ? "" : encoder;
  return out;
}

}  // namespace video_export
