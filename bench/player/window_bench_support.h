#pragma once

// What the benches of the whole player window share: CPU time, mpv playing
// the same file as a quad composed by its filter graph for comparison, and
// a display of their own.

#include <QSize>
#include <string>

// User + system CPU seconds of this process so far.
double ProcessCpuSeconds();

// mpv's own CPU time playing `file` as a quad (hstack and vstack of the four
// cameras) in an X11 window of `size`, without sound, with `extra` as one
// more option ("" none, "--speed=16"), as its parent sees it once it has
// ended; -1 when it could not run.
double MpvQuadCpuSeconds(const std::string& file, const QSize& size, const std::string& extra);

// Without a display the bench runs itself again under xvfb-run at
// 1280x1024: the exit status for main to return, or -1 to go on here.
int RunUnderXvfbWithoutDisplay(int argc, char** argv);

// The generator's four cameras with sound, 720x480 at 30 fps, for `seconds`,
// in a folder of its own under the temporary folder that goes with it.
class BenchRecording {
 public:
  BenchRecording(const std::string& name, double seconds);
  ~BenchRecording();
  BenchRecording(const BenchRecording&) = delete;
  BenchRecording& operator=(const BenchRecording&) = delete;

  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }  // "" once written

 private:
  std::string folder_, path_, error_;
};
