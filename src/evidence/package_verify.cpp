#include "evidence/package_verify.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "evidence/clip_frame_check.h"
#include "evidence/package_manifest.h"
#include "evidence/sha256.h"
#include "evidence/sha256_manifest.h"

namespace evidence {
namespace {

constexpr std::size_t kLargestDescription = 64 << 20;

bool ReadSmallFile(const std::string& path, std::string& text, std::string& error) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return error = ec.message(), false;
  if (size > kLargestDescription) return error = "is too large for a package description", false;
  std::ifstream in(path, std::ios::binary);
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return error = "cannot be read", false;
  return true;
}

std::string Base(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

}  // namespace

VerifyResult VerifyPackage(const std::string& folder, const std::vector<std::string>& givenSources) {
  VerifyResult result;
  std::string text, error;
  if (!ReadSmallFile(folder + "/" + kManifestFileName, text, error)) {
    result.error = std::string(kManifestFileName) + ": " + error;
    return result;
  }
  std::vector<ManifestEntry> entries;
  if (!ParseManifest(text, entries, error)) {
    result.error = std::string(kManifestFileName) + ": " + error;
    return result;
  }

  // Every file of the package: listed, present, and with its digest.
  std::set<std::string> listed, differing;
  for (const ManifestEntry& e : entries) {
    if (!e.name.empty() && e.name[0] == '/') continue;  // a source, checked below
    listed.insert(e.name);
    std::string hex, reason;
    ++result.filesChecked;
    if (e.name.find('/') != std::string::npos) {
      result.mismatches.push_back(e.name + ": is not a file of the package folder");
    } else if (!Sha256OfFile(folder + "/" + e.name, hex, reason)) {
      result.mismatches.push_back(e.name + ": " + reason);
    } else if (hex != e.hex) {
      result.mismatches.push_back(e.name + ": SHA-256 differs from the manifest");
      differing.insert(e.name);
    }
  }
  for (const std::string& name : PackageFileNames(folder)) {
    if (!listed.count(name)) result.mismatches.push_back(name + ": not in " + kManifestFileName);
  }

  PackageDescription package;
  if (!ReadSmallFile(folder + "/" + kPackageJsonName, text, error) ||
      !ParsePackageJson(text, package, error)) {
    result.mismatches.push_back(std::string(kPackageJsonName) + ": " + error);
    return result;
  }
  // Derived files (a video, a report) are made from the recording, not
  // copied from it: their hash is all there is to check.
  for (const DerivedFile& d : package.derived) {
    const std::string what = d.file + " (" + (d.kind.empty() ? std::string("derived file") : d.kind) + ")";
    if (!listed.count(d.file)) {
      result.mismatches.push_back(d.file + ": derived file not in " + kManifestFileName);
    } else if (!differing.count(d.file) && std::filesystem::is_regular_file(folder + "/" + d.file)) {
      result.derived.push_back(what + ": SHA-256 matches; derived, checked by hash, not frame-compared");
    }
  }
  std::vector<std::string> sourcePaths;
  for (const PackageSource& s : package.sources) {
    std::string path = s.path;
    for (const std::string& given : givenSources) {
      if (Base(given) == Base(s.path)) path = given;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
      result.notes.push_back("source " + s.path +
                             " not found: its hash and the clip frames were not checked");
      continue;
    }
    std::string recorded;
    for (const ManifestEntry& e : entries) {
      if (e.name == s.path) recorded = e.hex;
    }
    std::string hex, reason;
    if (!Sha256OfFile(path, hex, reason)) {
      result.mismatches.push_back("source " + path + ": " + reason);
    } else if (hex != recorded || hex != s.sha256) {
      result.mismatches.push_back("source " + path + ": SHA-256 differs from the manifest");
    }
    sourcePaths.push_back(path);
  }
  if (sourcePaths.size() != package.sources.size()) return result;
  if (package.clips.empty()) {
    // Cameras without a clip: the clips were taken out of the package.
    if (!package.cameras.empty())
      result.mismatches.push_back(std::string(kPackageJsonName) + ": names cameras but no clip");
    return result;
  }
  std::vector<std::string> clipPaths;
  for (const std::string& clip : package.clips) clipPaths.push_back(folder + "/" + clip);
  for (std::string& m : CheckClipFrames(package, clipPaths, sourcePaths, result.framesChecked))
    result.mismatches.push_back(std::move(m));
  return result;
}

}  // namespace evidence
