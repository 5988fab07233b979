#include "evidence_test_support.h"

#include <fstream>
#include <iterator>

#include "run_command.h"

PlayerRun RunPlayer(const std::string& args, const TempDir& dir, const std::string& prefix) {
  const std::string errPath = (dir / "stderr.txt").string();
  PlayerRun run;
  run.out = RunCommand(prefix + " timeout 120 " + std::string(QMX_APP_DIR) + "/qmxplayer " + args + " 2>" +
                           ShellQuote(errPath),
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

void FlipByte(const std::filesystem::path& file, uint64_t offset) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekg(std::streamoff(offset));
  char c = 0;
  f.get(c);
  f.seekp(std::streamoff(offset));
  f.put(char(c ^ 0x5A));
}
