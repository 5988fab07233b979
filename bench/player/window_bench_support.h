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
