#pragma once

#include <optional>
#include <string>
#include <vector>

// What the player's command line asks for. `args` are the process arguments,
// args[0] being the program.
struct CommandLine {
  // The first argument whose lower-cased text contains ".avi", exactly as
  // given (paths are case-sensitive here).
  std::optional<std::string> recordingPath;
  // "exportfiltergraph" occurs (case-sensitive) in an argument after the
  // program: every built playback pipeline is saved as a Graphviz file.
  bool exportFilterGraph = false;
  // A command-line mode: the first argument that starts with "--" (for
  // example "--info"), without further parsing; modeArgs are the arguments
  // that follow it. Empty when the player should show its window.
  std::string mode;
  std::vector<std::string> modeArgs;
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
