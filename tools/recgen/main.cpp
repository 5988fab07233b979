// recgen: writes DVR test recordings. See README.md beside this file.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "recording_options.h"
#include "recording_writer.h"

namespace {

constexpr const char* kUsage =
    "usage: recgen write OUT.avi [options]\n"
    "       recgen sequence DIR NAME COUNT [options]\n"
    "       recgen group DIR [--prefix NAME] [--continuations N] [--mark +|#] [options]\n"
    "       recgen demo DIR\n"
    "options: --size WxH --kind 0|1|2|3 --header380 --channels 1,2,3,4 --audio LIST|none\n"
    "         --seconds S --fps F --meta frames|stream|both|none --text-lines A|B|none\n"
    "         --config FILE|default|none --config-at start|end --title TEXT --trigger-names a,b,...\n"
    "         --version TEXT|none --h264 --one-stream-header --dvr-meta-header --no-strn --start-utc SECONDS "
    "--quality Q\n"
    "         --incidents calm|t:BIT@START-END[/PERIOD],x:TENTHS@SECONDS[/PERIOD],y:...,...\n"
    "         --fault drop-frame|repeat-frame|corrupt-frame|drop-audio:CAMERA:FRAME --fault "
    "clock-back:FRAME:SECONDS\n"
    "         --route LAT,LON@SECONDS;... --file-gap SECONDS (sequence)\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "recgen: %s\n", message.c_str());
  return 1;
}

bool MakeFolder(const std::string& path, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) error = "cannot create folder " + path + ": " + ec.message();
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (args.size() < 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string& command = args[1];
  recgen::RecordingOptions options;
  std::vector<std::string> rest;
  std::string error;

  if (command == "demo") {
    if (args.size() != 3) return Fail("demo takes one folder");
    if (!MakeFolder(args[2], error)) return Fail(error);
    return recgen::WriteDemo(args[2], error) ? 0 : Fail(error);
  }
  if (command == "write") {
    error = recgen::ParseRecordingOptions(args, 3, options, rest);
    if (error.empty() && !rest.empty()) error = "unknown option " + rest[0];
    if (!error.empty()) return Fail(error);
    return recgen::WriteRecording(args[2], options, error) ? 0 : Fail(error);
  }
  if (command == "sequence") {
    if (args.size() < 5) return Fail("sequence needs DIR NAME COUNT");
    char* end = nullptr;
    const long count = std::strtol(args[4].c_str(), &end, 10);
    if (!end || *end || count < 1 || count > 998) return Fail("COUNT must be 1 to 998");
    error = recgen::ParseRecordingOptions(args, 5, options, rest);
    if (error.empty() && !rest.empty()) error = "unknown option " + rest[0];
    if (!error.empty()) return Fail(error);
    if (!MakeFolder(args[2], error)) return Fail(error);
    return recgen::WriteSequence(args[2], args[3], int(count), options, error) ? 0 : Fail(error);
  }
  if (command == "group") {
    error = recgen::ParseRecordingOptions(args, 3, options, rest);
    if (!error.empty()) return Fail(error);
    std::string prefix = "Trip", mark = "+";
    long continuations = 2;
    for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
      if (rest[i] == "--prefix") prefix = rest[i + 1];
      if (rest[i] == "--mark") mark = rest[i + 1];
      if (rest[i] == "--continuations") {
        char* end = nullptr;
        continuations = std::strtol(rest[i + 1].c_str(), &end, 10);
        if (!end || *end) return Fail("--continuations wants a number");
      }
    }
    if (!MakeFolder(args[2], error)) return Fail(error);
    std::vector<std::filesystem::path> written;
    if (!recgen::WriteGroup(args[2], prefix, int(continuations), mark, options, written, error))
      return Fail(error);
    for (const auto& p : written) std::printf("%s\n", p.c_str());
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
