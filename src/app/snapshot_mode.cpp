#include "app/snapshot_mode.h"

#include <QGuiApplication>
#include <cstdlib>
#include <iostream>
#include <string>

#include "engine/pipeline/graph_result.h"
#include "engine/pipeline/numbered_run.h"
#include "engine/pipeline/playback_engine.h"
#include "engine/pipeline/recording_graph.h"
#include "metadata/qt/glyph_font_rasterizer.h"

namespace {

int Usage() {
  std::cerr << "usage: qmxplayer --snapshot FILE --at CENTIS --channel 1..4 --out OUT.jpg [--overlay]\n";
  return 2;
}

bool ParseNumber(const std::string& text, long long& out) {
  char* end = nullptr;
  out = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && end && *end == '\0';
}

}  // namespace

int RunSnapshotMode(int argc, char** argv, const CommandLine& line) {
  std::string file, out;
  long long at = -1, channel = -1;
  bool overlay = false;
  const std::vector<std::string>& args = line.modeArgs;
  if (!args.empty()) file = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--at" && hasValue) {
      if (!ParseNumber(args[++i], at) || at < 0) return Usage();
    } else if (a == "--channel" && hasValue) {
      if (!ParseNumber(args[++i], channel) || channel < 1 || channel > 4) return Usage();
    } else if (a == "--out" && hasValue) {
      out = args[++i];
    } else if (a == "--overlay") {
      overlay = true;
    } else if (a.find("exportfiltergraph") == std::string::npos) {  // the export switch is the line's
      return Usage();
    }
  }
  if (file.empty() || out.empty() || at < 0 || channel < 0) return Usage();

  // No display is needed: the glyph fonts are drawn off screen.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  if (overlay) CreateProcessGlyphFonts();

  const std::vector<std::string> paths = NumberedRunFrom(file);
  // Nothing is listened to here, so the outputs need no sound card, and
  // viewing never writes to the recording.
  EngineConfig config;
  config.audioSink = "fakesink sync=false";
  config.exportGraph = line.exportFilterGraph;
  config.headerCorrection = HeaderCorrection::kReportOnly;
  PlaybackEngine engine(nullptr, nullptr, nullptr, config);
  engine.SetOverlayText(overlay);
  const int result = engine.OpenSequence(paths);
  if (result != kGraphOk) {
    std::cerr << GraphResultMessage(result, engine.H264Mode() == 1, paths.empty()) << "\n";
    return 2;
  }
  engine.Pause();
  engine.Seek(at > engine.GetTotal() ? 1000 : -1, at);  // past the end: the last frame
  if (!engine.TakeSnapshot(int(channel - 1), out)) {
    std::cerr << "Error while attempting to save a snapshot.\n";
    return 2;
  }
  return 0;
}
