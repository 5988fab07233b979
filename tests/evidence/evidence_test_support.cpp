#include "evidence_test_support.h"

#include <fstream>
#include <iterator>

#include "run_command.h"

PlayerRun RunPlayer(const std::string& args, const TempDir& dir) {
  const std::string errPath = (dir / "stderr.txt").string();
  PlayerRun run;
  run.out = RunCommand(
      "timeout 120 " + std::string(QMX_APP_DIR) + "/qmxplayer " + args + " 2>" + ShellQuote(errPath),
      &run.status);
  run.err = ReadWholeFile(errPath);
  return run;
}

recgen::RecordingOptions SmallRecording() {
  recgen::RecordingOptions o;
  o.width = 320;
  o.height = 240;
  return o;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
