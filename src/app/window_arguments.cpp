#include "app/window_arguments.h"

#include "app/clock_positions.h"
#include "app/mode_status.h"

namespace {

constexpr const char* kPositionForms =
    "a position is hundredths (1250), seconds (12.5s), h:mm:ss[.ff] (0:00:12.50), or the recording's "
    "clock @HH:MM:SS[.fff] (local) or @HH:MM:SS[.fff]Z (UTC)";

}  // namespace

int ParseWindowArguments(const CommandLine& line, const std::vector<std::string>& args,
                         PlayerWindowStart& start, std::ostream& err) {
  start.recordingPath = line.recordingPath;
  start.exportFilterGraph = line.exportFilterGraph;
  ClockPositions clocks;
  int64_t at = -1;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--quad") {
      start.quad = true;
    } else if (a == "--full-screen") {
      start.fullScreen = true;
    } else if (a == "--at") {
      if (i + 1 >= args.size())
        return ModeFailure(err, "--at", std::string("needs a position; ") + kPositionForms, kExitBadInput);
      const std::string& value = args[++i];
      if (!clocks.Parse(value, at, ClockPositions::Use::kFrame))
        return ModeFailure(err, "--at", "\"" + value + "\" is no position; " + kPositionForms, kExitBadInput);
      start.atCentis = at;
    } else if (a == "--screenshot-after") {
      double seconds = 0;
      try {
        if (i + 2 < args.size()) seconds = std::stod(args[i + 1]);
      } catch (const std::exception&) {
        seconds = 0;
      }
      if (!(seconds > 0))
        return ModeFailure(err, "--screenshot-after", "takes SECONDS (more than 0) and OUT.png",
                           kExitBadInput);
      start.screenshotSeconds = seconds;
      start.screenshotPath = args[i + 2];
      i += 2;
    }
  }
  if (!start.atCentis) return kExitDone;
  if (!start.recordingPath)
    return ModeFailure(err, "--at", "needs a recording to open (qmxplayer RECORDING.avi --at POS)",
                       kExitBadInput);
  // A clock time is looked up in the recording's metadata now, so one that
  // is not in it is told here, as the modes tell it.
  if (std::string reason; !clocks.Resolve(*start.recordingPath, reason))
    return ModeFailure(err, *start.recordingPath, reason, kExitBadInput);
  start.atCentis = at;
  return kExitDone;
}
