#include "evidence/sha256_manifest.h"

#include <cctype>

#include "evidence/sha256.h"

namespace evidence {

std::string FormatManifestLine(const ManifestEntry& entry) {
  std::string name;
  bool escaped = false;
  for (const char c : entry.name) {
    if (c == '\\' || c == '\n' || c == '\r') {
      escaped = true;
      name += '\\';
      name += c == '\\' ? '\\' : c == '\n' ? 'n' : 'r';
    } else {
      name += c;
    }
  }
  return (escaped ? "\\" : "") + entry.hex + " *" + name + "\n";
}

namespace {

bool Unescape(const std::string& in, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out += in[i];
      continue;
    }
    if (++i == in.size()) return false;
    switch (in[i]) {
      case '\\':
        out += '\\';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return false;
    }
  }
  return true;
}

bool ParseLine(std::string line, ManifestEntry& entry, std::string& reason) {
  const bool escaped = !line.empty() && line[0] == '\\';
  if (escaped) line.erase(0, 1);
  if (line.size() < kSha256HexChars + 2) return reason = "too short for a SHA-256 line", false;
  entry.hex = line.substr(0, kSha256HexChars);
  for (char& c : entry.hex) {
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      return reason = "the digest is not 64 hex digits", false;
    c = char(std::tolower(static_cast<unsigned char>(c)));
  }
  const char sep = line[kSha256HexChars], mode = line[kSha256HexChars + 1];
  if (sep != ' ' || (mode != ' ' && mode != '*'))
    return reason = "the digest is not followed by \"  \" or \" *\"", false;
  const std::string name = line.substr(kSha256HexChars + 2);
  if (name.empty()) return reason = "no file name", false;
  if (!escaped) return entry.name = name, true;
  if (!Unescape(name, entry.name)) return reason = "a bad escape in the file name", false;
  return true;
}

}  // namespace

bool ParseManifest(const std::string& text, std::vector<ManifestEntry>& entries, std::string& error) {
  std::size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    ManifestEntry entry;
    std::string reason;
    if (!ParseLine(line, entry, reason)) {
      error = "line " + std::to_string(number) + ": " + reason;
      return false;
    }
    entries.push_back(std::move(entry));
  }
  return true;
}

}  // namespace evidence
