#include "app/command_line.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!line.recordingPath && Lower(arg).find(".avi") != std::string::npos) line.recordingPath = arg;
    if (arg.find("exportfiltergraph") != std::string::npos) line.exportFilterGraph = true;
    if (line.mode.empty() && arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      line.mode = arg;
      line.modeArgs.assign(args.begin() + std::ptrdiff_t(i) + 1, args.end());
    }
  }
  return line;
}
