// dvrsim: a DVR unit on 127.0.0.1 (dvr_simulator.h), run until interrupted.
//
//   dvrsim [--port N] [--recording FILE.avi] [--size WxH] [--fps F]
//          [--fault refuse|drop|garbage|oversize|bad-header|stall|bad-first|cut-first]
//          [--fault-after FRAMES] [--drop-every MS] [--no-audio] [--no-text]

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "dvr_simulator.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
  g_stop = 1;
}

int Usage(const std::string& problem) {
  std::cerr << "dvrsim: " << problem << "\n"
            << "usage: dvrsim [--port N] [--recording FILE.avi] [--size WxH] [--fps F]\n"
            << "              [--fault refuse|drop|garbage|oversize|bad-header|stall|bad-first|cut-first]\n"
            << "              [--fault-after FRAMES] [--drop-every MS] [--no-audio] [--no-text]\n";
  return 2;
}

bool ToInt(const std::string& text, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  dvrsim::SimulatorOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    const std::string value = hasValue ? argv[i + 1] : "";
    long n = 0;
    if (arg == "--no-audio") {
      options.audio = false;
    } else if (arg == "--no-text") {
      options.text = false;
    } else if (!hasValue) {
      return Usage("unknown option or missing value: " + arg);
    } else if (arg == "--port" && ToInt(value, 0, 65535, n)) {
      options.port = uint16_t(n), ++i;
    } else if (arg == "--recording") {
      options.recording = value, ++i;
    } else if (arg == "--size" && std::sscanf(value.c_str(), "%dx%d", &options.width, &options.height) == 2 &&
               options.width >= 16 && options.height >= 16 && options.width <= 4096 &&
               options.height <= 4096) {
      ++i;
    } else if (arg == "--fps" && std::atof(value.c_str()) > 0 && std::atof(value.c_str()) <= 120) {
      options.fps = std::atof(value.c_str()), ++i;
    } else if (arg == "--fault" && dvrsim::ParseFault(value, options.fault)) {
      ++i;
    } else if (arg == "--fault-after" && ToInt(value, 0, 1000000, n)) {
      options.faultAfterFrames = int(n), ++i;
    } else if (arg == "--drop-every" && ToInt(value, 1, 86400000, n)) {
      options.dropEvery = std::chrono::milliseconds(n), ++i;
    } else {
      return Usage("bad option or value: " + arg + " " + value);
    }
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  dvrsim::DvrSimulator simulator(options);
  std::string error;
  if (!simulator.Start(error)) {
    std::cerr << "dvrsim: " << error << "\n";
    return 1;
  }
  std::cout << "dvrsim: serving on " << simulator.Address() << std::endl;
  while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  simulator.Stop();
  std::cout << "dvrsim: " << simulator.Connections() << " connection(s)" << std::endl;
  return 0;
}
