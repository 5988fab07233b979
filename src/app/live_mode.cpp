#include "app/live_mode.h"

#include <QGuiApplication>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/library_diagnostics.h"
#include "app/mode_files.h"
#include "app/mode_status.h"
#include "live/live_session.h"
#include "live/stream_protocol.h"
#include "metadata/metadata_listener.h"
#include "metadata/qt/glyph_font_rasterizer.h"
#include "snapshot/jpeg_file.h"

namespace {

constexpr const char* kCantConnect = "Can't connect to this device!";
constexpr auto kPollPeriod = std::chrono::milliseconds(10);

int Usage() {
  std::cerr
      << "usage: qmxplayer --live HOST[:PORT] --channel 1..4 --out OUT.jpg [--overlay] [--wait SECONDS]\n";
  return kExitBadInput;
}

// Keeps the first frame of one camera that is worth saving: any frame, or
// with the overlay one decoded after the camera's metadata arrived (so the
// texts are on it).
class FrameCatcher : public FrameConsumer, public CMetadataInterface {
 public:
  FrameCatcher(int channel, bool needMetadata)
      : channel_(channel),
        extractor_("Metadata Extractor " + std::to_string(channel + 1)),
        needMetadata_(needMetadata) {}

  void OnMetadata(const char* source, const char*, const char*) override {
    if (extractor_ == source) metadataSeen_ = true;
  }

  void OnVideoFrame(const VideoFrame& f) override {
    if (f.channel != channel_ || caught_ || (needMetadata_ && !metadataSeen_)) return;
    // Drawn texts apply from the frame after the one that carried them.
    if (needMetadata_ && framesAfterMetadata_++ < 1) return;
    std::vector<uint8_t> rgb(std::size_t(f.width) * f.height * 3);
    for (int y = 0; y < f.height; ++y) {
      const uint8_t* in = f.bgrx + std::size_t(y) * f.strideBytes;
      uint8_t* out = rgb.data() + std::size_t(y) * f.width * 3;
      for (int x = 0; x < f.width; ++x, in += 4, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    }
    std::lock_guard<std::mutex> hold(lock_);
    rgb_ = std::move(rgb);
    width_ = f.width;
    height_ = f.height;
    caught_ = true;
  }

  bool Caught() const { return caught_; }
  bool Save(const std::string& path) {
    std::lock_guard<std::mutex> hold(lock_);
    return WriteJpegFile(path.c_str(), rgb_.data(), width_, height_, 90);
  }

 private:
  const int channel_;
  const std::string extractor_;
  const bool needMetadata_;
  std::atomic<bool> metadataSeen_{false};
  int framesAfterMetadata_ = 0;  // streaming thread of the channel only
  std::atomic<bool> caught_{false};
  std::mutex lock_;  // guards the picture
  std::vector<uint8_t> rgb_;
  int width_ = 0, height_ = 0;
};

}  // namespace

int RunLiveMode(int argc, char** argv, const CommandLine& line) {
  const std::vector<std::string>& args = line.modeArgs;
  if (args.empty() || !ParseDvrAddress(args[0])) return Usage();
  std::string out;
  long channel = -1;
  double waitSeconds = 10.0;
  bool overlay = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    char* end = nullptr;
    if (a == "--channel" && hasValue) {
      channel = std::strtol(args[++i].c_str(), &end, 10);
      if (*end || channel < 1 || channel > 4) return Usage();
    } else if (a == "--out" && hasValue) {
      out = args[++i];
    } else if (a == "--wait" && hasValue) {
      waitSeconds = std::strtod(args[++i].c_str(), &end);
      if (*end || !(waitSeconds > 0) || waitSeconds > 3600) return Usage();
    } else if (a == "--overlay") {
      overlay = true;
    } else {
      return Usage();
    }
  }
  if (out.empty() || channel < 0) return Usage();
  // A live frame replaces no recording, but still only a regular file or a new name.
  if (RefuseModeOutputs(std::cerr, {out}, {}) != kExitDone) return kExitBadInput;

  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  LibraryDiagnostics::Install();
  QGuiApplication app(argc, argv);
  if (overlay) CreateProcessGlyphFonts();

  FrameCatcher catcher(int(channel - 1), overlay);
  LiveSessionConfig config;
  config.address = args[0];
  config.audioSink = "fakesink sync=false";
  config.frames = &catcher;
  config.metadataListener = &catcher;
  LiveSession session(config);
  session.SetOverlayText(overlay);
  session.SetView(VideoView::Camera(int(channel - 1)));

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(waitSeconds);
  const std::string camera = "camera " + std::to_string(channel);
  for (;;) {
    if (session.Poll()) return ModeFailure(std::cerr, args[0], kCantConnect, kExitLiveUnreachable);
    if (catcher.Caught()) break;
    // A unit not reached yet is given its connection attempts in full, so
    // it ends in the failure above rather than in a time-out.
    if (std::chrono::steady_clock::now() >= deadline && session.Connections() > 0) {
      return ModeFailure(std::cerr, args[0], "no frame of " + camera + " within the wait", kExitLiveNoFrame);
    }
    std::this_thread::sleep_for(kPollPeriod);
  }
  errno = 0;
  if (catcher.Save(out)) return kExitDone;
  const int writeError = errno;
  const std::string jpegError = LibraryDiagnostics::TakeJpegError();
  return ModeFailure(std::cerr, out,
                     "cannot save " + camera + "'s frame: " +
                         (jpegError.empty() ? SystemReason(writeError, "write failed") : jpegError),
                     kExitOutputFailed);
}
