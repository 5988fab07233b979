#include "engine/recording_sources.h"

#include <algorithm>

#include "avi/avi_reader.h"
#include "engine/numbered_run.h"

std::vector<std::string> RecordingSources(const std::string& file) {
  std::vector<std::string> files = NumberedRunFrom(file);
  if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
  return files;
}

std::string RecordingProblem(const std::string& file) {
  avi::AviReader reader;
  return reader.Open(file, avi::AviReader::Load::kHeadersOnly) ? "" : reader.Error();
}
