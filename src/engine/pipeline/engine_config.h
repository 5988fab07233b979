#pragma once

#include <string>

#include "engine/recording_properties.h"

// How a PlaybackEngine and its graphs are set up, chosen by whoever makes
// them (the window, a headless mode, a test) instead of being read from the
// process's environment or command line.
struct EngineConfig {
  // The audio output of each channel as a gst-launch fragment, "{channel}"
  // standing for 1..4 (tests record to WAV, headless modes discard); "" plays
  // on the device through autoaudiosink.
  std::string audioSink;
  // Write each built pipeline as Graphviz "QMXgraph.dot" into the temporary
  // folder (the "exportfiltergraph" switch).
  bool exportGraph = false;
  // kApply corrects an old one-stream header on disk, as clip extraction
  // needs; viewing without writing (the headless modes) passes kReportOnly.
  HeaderCorrection headerCorrection = HeaderCorrection::kApply;
  // Pictures shown at less than half their size are decoded at a reduced
  // size (PlaybackEngine::SetShownSize); false always decodes the whole
  // frame, the baseline a measurement compares with.
  bool reducedDecoding = true;
};
