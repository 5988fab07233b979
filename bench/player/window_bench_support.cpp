#include "window_bench_support.h"

#include "recording_writer.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

double Seconds(const rusage& u) {
  auto s = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

}  // namespace

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return Seconds(u);
}

double MpvQuadCpuSeconds(const std::string& file, const QSize& size, const std::string& extra) {
  const std::string geometry =
      "--geometry=" + std::to_string(size.width()) + "x" + std::to_string(size.height());
  const std::string more = extra.empty() ? "--really-quiet" : extra;
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("mpv", "mpv", "--no-config", "--really-quiet", "--vo=x11", "--hwdec=no", "--ao=null", more.c_str(),
           "--lavfi-complex=[vid1][vid2]hstack[top];[vid3][vid4]hstack[bottom];[top][bottom]vstack[vo]",
           geometry.c_str(), file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid < 0) return -1;
  int status = 0;
  rusage u{};
  if (wait4(pid, &status, 0, &u) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return Seconds(u);
}

int RunUnderXvfbWithoutDisplay(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  if ((display && *display) || std::getenv("QMX_BENCH_UNDER_XVFB")) return -1;
  setenv("QMX_BENCH_UNDER_XVFB", "1", 1);
  std::string command = "xvfb-run -a -s '-screen 0 1280x1024x24' '" + std::string(argv[0]) + "'";
  if (argc > 1) command += std::string(" ") + argv[1];
  return std::system(command.c_str()) == 0 ? 0 : 1;
}

BenchRecording::BenchRecording(const std::string& name, double seconds) {
  const auto dir = std::filesystem::temp_directory_path() / (name + "_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  folder_ = dir.string();
  path_ = (dir / "bench.avi").string();
  recgen::RecordingOptions o;  // four channels with sound, 720x480, 30 fps
  o.seconds = seconds;
  if (!recgen::WriteRecording(path_, o, error_) && error_.empty())
    error_ = "the recording could not be written";
}

BenchRecording::~BenchRecording() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}
