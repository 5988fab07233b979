#pragma once

// Measures what an audio output recorded to a WAV file holds.

#include <filesystem>

struct ToneMeasure {
  bool ok = false;  // the file holds 16-bit samples
  int channels = 0;
  double rms = 0;        // over all samples
  double toneShare = 0;  // share of the energy at the asked frequency
};

// Over every sample of the file's "data" chunk, all channels together.
ToneMeasure MeasureTone(const std::filesystem::path& wav, double hz);
