#include "evidence/package_manifest.h"

#include <algorithm>
#include <filesystem>

#include "evidence/bookmarks.h"
#include "evidence/file_output.h"
#include "evidence/json_value.h"
#include "evidence/sha256.h"
#include "evidence/sha256_manifest.h"
#include "evidence/text_escape.h"
#include "metadata/clock_text.h"

namespace evidence {

std::string FormatPackageJson(const PackageDescription& p) {
  std::string out = "{\n  \"tool\": " + JsonString(p.tool) + ",\n  \"sources\": [";
  for (std::size_t i = 0; i < p.sources.size(); ++i) {
    const PackageSource& s = p.sources[i];
    out += std::string(i ? "," : "") + "\n    {\"path\": " + JsonString(s.path) +
           ", \"bytes\": " + std::to_string(s.bytes) + ", \"sha256\": " + JsonString(s.sha256) +
           ", \"start_centis\": " + std::to_string(s.startCentis) + "}";
  }
  out += "\n  ],\n  \"range\": {\"from_centis\": " + std::to_string(p.fromCentis) +
         ", \"to_centis\": " + std::to_string(p.toCentis) + "},\n  \"cameras\": [";
  for (std::size_t i = 0; i < p.cameras.size(); ++i) out += (i ? ", " : "") + std::to_string(p.cameras[i]);
  out += "],\n  \"clips\": [";
  for (std::size_t i = 0; i < p.clips.size(); ++i) out += (i ? ", " : "") + JsonString(p.clips[i]);
  out += "]";
  if (!p.derived.empty()) {
    out += ",\n  \"derived\": [";
    for (std::size_t i = 0; i < p.derived.size(); ++i) {
      const DerivedFile& d = p.derived[i];
      out += std::string(i ? "," : "") + "\n    {\"file\": " + JsonString(d.file) +
             ", \"kind\": " + JsonString(d.kind) + ", \"derived\": true, \"made_from\": [";
      for (std::size_t k = 0; k < d.madeFrom.size(); ++k) out += (k ? ", " : "") + JsonString(d.madeFrom[k]);
      out += "], \"how\": {";
      for (std::size_t k = 0; k < d.how.size(); ++k)
        out += (k ? ", " : "") + JsonString(d.how[k].first) + ": " + JsonString(d.how[k].second);
      out += "}}";
    }
    out += "\n  ]";
  }
  if (p.bookmarks)
    out += ",\n  \"bookmarks\": {\"file\": " + JsonString(kPackageBookmarksName) +
           ", \"count\": " + std::to_string(*p.bookmarks) + "}";
  if (p.clockCorrectionMillis != 0)
    out += ",\n  \"clock_correction\": {\"millis\": " + std::to_string(p.clockCorrectionMillis) +
           ", \"text\": " + JsonString(FormatClockCorrection(p.clockCorrectionMillis)) +
           ", \"note\": " + JsonString(ClockCorrectionNote(p.clockCorrectionMillis)) + "}";
  return out + "\n}\n";
}

bool ParsePackageJson(const std::string& text, PackageDescription& p, std::string& error) {
  JsonValue root;
  if (!ParseJson(text, root, error)) return false;
  using Type = JsonValue::Type;
  if (root.type != Type::kObject || root["sources"].type != Type::kArray ||
      root["cameras"].type != Type::kArray || root["clips"].type != Type::kArray ||
      root["range"]["from_centis"].type != Type::kNumber || root["range"]["to_centis"].type != Type::kNumber)
    return error = "not a package description (sources, range, cameras, clips)", false;
  p = PackageDescription();
  p.tool = root["tool"].text;
  p.fromCentis = root["range"]["from_centis"].Integer();
  p.toCentis = root["range"]["to_centis"].Integer();
  for (const JsonValue& s : root["sources"].items) {
    if (s["path"].type != Type::kString) return error = "a source without a path", false;
    p.sources.push_back(
        {s["path"].text, uint64_t(s["bytes"].number), s["sha256"].text, s["start_centis"].Integer()});
  }
  for (const JsonValue& c : root["cameras"].items) {
    if (c.type != Type::kNumber || c.number < 1 || c.number > 4)
      return error = "a camera outside 1..4", false;
    p.cameras.push_back(int(c.number));
  }
  for (const JsonValue& c : root["clips"].items) {
    const std::string& name = c.text;
    if (c.type != Type::kString || name.empty() || name.find('/') != std::string::npos || name == "..")
      return error = "a clip name that is not a file of the package", false;
    p.clips.push_back(name);
  }
  // Packages made before derived files existed have none.
  const JsonValue& derived = root["derived"];
  if (derived.type != Type::kNull && derived.type != Type::kArray)
    return error = "\"derived\" is not a list", false;
  for (const JsonValue& d : derived.items) {
    const std::string& name = d["file"].text;
    if (d["file"].type != Type::kString || name.empty() || name.find('/') != std::string::npos ||
        name == "..")
      return error = "a derived file name that is not a file of the package", false;
    DerivedFile file{name, d["kind"].text, {}, {}};
    for (const JsonValue& from : d["made_from"].items) file.madeFrom.push_back(from.text);
    for (const auto& [key, value] : d["how"].members) file.how.emplace_back(key, value.text);
    p.derived.push_back(std::move(file));
  }
  if (root["bookmarks"]["count"].type == Type::kNumber)
    p.bookmarks = int(root["bookmarks"]["count"].Integer());
  if (root["clock_correction"]["millis"].type == Type::kNumber)
    p.clockCorrectionMillis = root["clock_correction"]["millis"].Integer();
  return true;
}

bool HashSources(PackageDescription& package, std::string& error) {
  for (PackageSource& s : package.sources) {
    std::error_code ec;
    s.bytes = std::filesystem::file_size(s.path, ec);
    std::string reason;
    if (ec || !Sha256OfFile(s.path, s.sha256, reason)) {
      error = s.path + ": " + (ec ? ec.message() : reason);
      return false;
    }
  }
  return true;
}

std::vector<std::string> PackageFileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name != kManifestFileName) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool WriteManifest(const std::string& folder, const PackageDescription& package, std::string& error) {
  std::string text;
  for (const std::string& name : PackageFileNames(folder)) {
    std::string hex, reason;
    if (!Sha256OfFile(folder + "/" + name, hex, reason)) return error = name + ": " + reason, false;
    text += FormatManifestLine({hex, name});
  }
  for (const PackageSource& s : package.sources) text += FormatManifestLine({s.sha256, s.path});
  std::string reason;
  if (!WriteWholeFile(folder + "/" + kManifestFileName, text, reason))
    return error = std::string(kManifestFileName) + ": " + reason, false;
  return true;
}

}  // namespace evidence
