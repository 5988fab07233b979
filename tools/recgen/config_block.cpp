#include "config_block.h"

#include <fstream>
#include <iterator>

namespace recgen {
namespace {

void AddLine(std::vector<uint8_t>& block, const std::string& line) {
  block.insert(block.end(), line.begin(), line.end());
  block.push_back(0);
}

}  // namespace

std::vector<uint8_t> DefaultConfigBlock(const RecordingOptions& o) {
  std::vector<uint8_t> block;
  AddLine(block, "set system.title-1 " + o.title);
  AddLine(block, "set gps.enable YES");
  const std::vector<std::string> names = EffectiveTriggerNames(o);
  for (std::size_t i = 0; i < names.size(); ++i)
    AddLine(block, "set trigger.name" + std::to_string(i + 1) + " " + names[i]);
  for (int c = 0; c < 4; ++c) {
    const bool on = o.kind == 0 ? o.audio[std::size_t(c)] : (c < 2 && o.audio[0]);
    AddLine(block, "set camera-" + std::to_string(c + 1) + ".audio " + (on ? "ON" : "OFF"));
    AddLine(block,
            "set camera-" + std::to_string(c + 1) + ".bitRate " + std::to_string(1536000 + 128000 * c));
  }
  return block;
}

std::vector<uint8_t> AppendedConfigBlock(const RecordingOptions& o) {
  std::vector<uint8_t> block;
  const std::vector<std::string> names = EffectiveTriggerNames(o);
  for (std::size_t i = 0; i < names.size(); ++i)
    AddLine(block, "set trigger.name" + std::to_string(i + 1) + " " + names[i]);
  AddLine(block, "set system.title-1 " + o.title);
  block.insert(block.end(), 65, uint8_t('.'));
  return block;
}

bool ConfigBlockFromFile(const std::string& path, std::vector<uint8_t>& block, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read configuration file " + path;
    return false;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read configuration file " + path;
    return false;
  }
  block.clear();
  std::string line;
  for (char ch : text) {
    if (ch == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) AddLine(block, line);
      line.clear();
    } else {
      line.push_back(ch);
    }
  }
  if (!line.empty()) AddLine(block, line);
  return true;
}

std::vector<uint8_t> VersionChunkPayload(const std::string& version) {
  std::vector<uint8_t> payload(200, 0);
  payload[0] = 'M', payload[1] = 'D', payload[2] = 'V', payload[3] = 'R';
  payload.insert(payload.end(), version.begin(), version.end());
  payload.push_back(0);
  payload.resize(std::max<std::size_t>(payload.size(), 256), 0);
  return payload;
}

}  // namespace recgen
