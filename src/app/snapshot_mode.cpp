#include "app/snapshot_mode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/clock_positions.h"
#include "app/library_diagnostics.h"
#include "app/mode_files.h"
#include "app/mode_status.h"
#include "avi/avi_reader.h"
#include "base/mode_arguments.h"
#include "engine/numbered_run.h"
#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/playback_engine.h"
#include "engine/pipeline/recording_graph.h"
#include "engine/pipeline/thread_order.h"
#include "engine/recording_summary.h"
#include "metadata/qt/glyph_font_rasterizer.h"

namespace {

// A healthy recording settles in milliseconds, a failing one says so at once;
// this only bounds one that does neither.
constexpr std::chrono::seconds kSettleWait{15 * kSanitizerSlowdown};

int Usage() {
  std::cerr << "usage: qmxplayer --snapshot FILE --at CENTIS --channel 1..4 --out OUT.jpg [--overlay]\n";
  return kExitBadInput;
}

// Whether a snapshot can be written at `path` (refused already when it is no
// regular file), found before the recording is played: "" when it can, else
// the system's reason. Nothing is truncated, and a file the probe had to
// create is removed again. O_NONBLOCK: a FIFO swapped in meanwhile fails at
// once instead of blocking.
std::string OutputProblem(const std::string& path) {
  struct stat st {};
  const bool existed = ::stat(path.c_str(), &st) == 0;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return SystemReason(errno, "cannot be created");
  ::close(fd);
  if (!existed) ::unlink(path.c_str());
  return "";
}

}  // namespace

int RunSnapshotMode(int argc, char** argv, const CommandLine& line) {
  std::string file, out;
  long long at = -1, channel = -1;
  bool overlay = false;
  ClockPositions clocks;
  int64_t atCentis = -1;
  const std::vector<std::string>& args = line.modeArgs;
  if (!args.empty()) file = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--at" && hasValue) {
      if (!clocks.Parse(args[++i], atCentis, ClockPositions::Use::kFrame)) return Usage();
      at = atCentis;
    } else if (a == "--channel" && hasValue) {
      if (!ParseWholeNumber(args[++i], channel) || channel < 1 || channel > 4) return Usage();
    } else if (a == "--out" && hasValue) {
      out = args[++i];
    } else if (a == "--overlay") {
      overlay = true;
    } else if (a.find("exportfiltergraph") == std::string::npos) {  // the export switch is the line's
      return Usage();
    }
  }
  if (file.empty() || out.empty() || at < 0 || channel < 0) return Usage();
  if (std::string reason; !clocks.Resolve(file, reason))
    return ModeFailure(std::cerr, file, reason, kExitBadInput);
  at = atCentis;

  // The recording and the output are checked first, so each failure is told
  // by its real reason, once, before anything is played.
  bool cameraHasStream = false;
  {
    avi::AviReader reader;
    if (!reader.Open(file, avi::AviReader::Load::kHeadersOnly)) {
      return ModeFailure(std::cerr, file, reader.Error(), kExitBadInput);
    }
    const RecordingSummary summary = SummariseRecording(file, reader);
    for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
      cameraHasStream |=
          summary.streamChannel[s] == channel - 1 && reader.Stream(s).header.type == avi::kVids;
    }
  }
  const std::vector<std::string> paths = NumberedRunFrom(file);
  if (RefuseModeOutputs(std::cerr, {out}, RecordingSources(file)) != kExitDone) return kExitBadInput;
  const std::string camera = "camera " + std::to_string(channel);
  if (const std::string problem = OutputProblem(out); !problem.empty()) {
    return ModeFailure(std::cerr, out, "cannot save " + camera + "'s frame: " + problem, kExitOutputFailed);
  }
  struct stat outStat {};
  const bool outExisted = ::stat(out.c_str(), &outStat) == 0;

  // No display is needed: the glyph fonts are drawn off screen.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  LibraryDiagnostics::Install();
  QGuiApplication app(argc, argv);
  if (overlay) CreateProcessGlyphFonts();

  // Nothing is listened to here, so the outputs need no sound card, and
  // viewing never writes to the recording.
  EngineConfig config;
  config.audioSink = "fakesink sync=false";
  config.exportGraph = line.exportFilterGraph;
  config.headerCorrection = HeaderCorrection::kReportOnly;
  PlaybackEngine engine(nullptr, nullptr, nullptr, config);
  engine.SetOverlayText(overlay);
  const int result = engine.OpenSequence(paths);
  if (result != kGraphOk) {
    return ModeFailure(std::cerr, file,
                       GraphResultMessage(result, engine.H264Mode() == VideoCoding::kH264, paths.empty()),
                       kExitBadInput);
  }
  if (at > engine.GetTotal()) {
    return ModeFailure(
        std::cerr, file,
        "the recording ends at " + std::to_string(engine.GetTotal()) + " hundredths, before --at",
        kExitBadInput);
  }
  engine.Pause();
  engine.Seek(-1, at);
  // The frame at the target is there once the engine has performed both; a
  // recording that never settles ends as one without that frame.
  const bool settled = engine.WaitTransport(kSettleWait);
  errno = 0;
  if (settled && engine.TakeSnapshot(int(channel - 1), out)) return kExitDone;

  // Without a frame the snapshot fails before touching the file; a failed
  // write leaves libjpeg's message or the system's errno.
  const int writeError = errno;
  const std::string jpegError = LibraryDiagnostics::TakeJpegError();
  if (!outExisted) ::unlink(out.c_str());  // no half-written picture stays behind
  if (!jpegError.empty() || writeError != 0) {
    return ModeFailure(std::cerr, out,
                       "cannot save " + camera +
                           "'s frame: " + (jpegError.empty() ? SystemReason(writeError, "") : jpegError),
                       kExitOutputFailed);
  }
  // A camera whose stream is there but whose frames all fail to decode has
  // video, just no picture to save.
  if (!cameraHasStream && !engine.Channels()[std::size_t(channel - 1)].video) {
    return ModeFailure(std::cerr, file, camera + " has no video", kExitBadInput);
  }
  return ModeFailure(std::cerr, file,
                     camera + " has no decoded frame at " + std::to_string(at) + " hundredths",
                     kExitBadInput);
}
