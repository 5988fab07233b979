// Evidence packages verified by `qmxplayer --verify`, and tampered with.
#include <gtest/gtest.h>

#include <fstream>

#include "evidence/package_manifest.h"
#include "evidence_test_support.h"
#include "recording_writer.h"
#include "run_command.h"

namespace {

namespace fs = std::filesystem;

// A package of plain files (no clip, no camera) over a generated recording,
// described and hashed as the exporter does.
void WriteSmallPackage(const fs::path& folder, const fs::path& source) {
  fs::create_directories(folder);
  std::ofstream(folder / "notes with space.txt") << "observed at the scene\n";
  std::ofstream(folder / "track.gpx") << "<gpx/>\n";
  evidence::PackageDescription package;
  package.tool = "qmxplayer test";
  package.sources.push_back({fs::absolute(source).string(), 0, "", 0});
  package.fromCentis = 0, package.toCentis = 100;
  std::string error;
  ASSERT_TRUE(evidence::HashSources(package, error)) << error;
  std::ofstream(folder / evidence::kPackageJsonName) << evidence::FormatPackageJson(package);
  ASSERT_TRUE(evidence::WriteManifest(folder.string(), package, error)) << error;
}

TEST(PackageVerify, EveryFileIsHashedAndEveryChangeNamed) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "Trip.avi", SmallRecording(), error)) << error;
  const fs::path fresh = dir / "fresh";
  WriteSmallPackage(fresh, dir / "Trip.avi");

  int status = -1;
  const std::string said =
      RunCommand("cd " + ShellQuote(fresh.string()) + " && sha256sum --strict -c MANIFEST.sha256", &status);
  EXPECT_EQ(status, 0) << said;

  const struct {
    const char* name;
    std::function<void(const fs::path& package)> change;
    int status;
    std::string line;  // expected in the output
  } rows[] = {
      // No clip frame to compare: the hashes hold, but nothing says "Verified".
      {"fresh", [](const fs::path&) {}, 0, "Hashes match: 3 files"},
      {"a changed byte", [](const fs::path& p) { FlipByte(p / "track.gpx", 2); }, 1,
       "MISMATCH: track.gpx: SHA-256 differs from the manifest"},
      {"a changed name with a blank", [](const fs::path& p) { FlipByte(p / "notes with space.txt", 0); }, 1,
       "MISMATCH: notes with space.txt: SHA-256 differs from the manifest"},
      {"a changed description", [](const fs::path& p) { FlipByte(p / evidence::kPackageJsonName, 5); }, 1,
       "MISMATCH: manifest.json: SHA-256 differs from the manifest"},
      {"a removed file", [](const fs::path& p) { fs::remove(p / "track.gpx"); }, 1,
       "MISMATCH: track.gpx: No such file or directory"},
      {"an added file", [](const fs::path& p) { std::ofstream(p / "extra.txt") << "x"; }, 1,
       "MISMATCH: extra.txt: not in MANIFEST.sha256"},
      {"a changed source", [&](const fs::path&) { FlipByte(dir / "Trip.avi", 5000); }, 1,
       "SHA-256 differs from the manifest"},
      {"no manifest", [](const fs::path& p) { fs::remove(p / evidence::kManifestFileName); }, 2, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path copy = dir / "copy";
    fs::remove_all(copy);
    fs::copy(fresh, copy);
    row.change(copy);
    const PlayerRun run = RunPlayer("--verify " + ShellQuote(copy.string()), dir);
    EXPECT_EQ(run.status, row.status) << run.out << run.err;
    EXPECT_NE(run.out.find(row.line), std::string::npos) << run.out;
    if (row.status == 2) {
      EXPECT_NE(run.err.find("MANIFEST.sha256"), std::string::npos) << run.err;
    }
  }
}

TEST(PackageVerify, BadCommandLines) {
  TempDir dir;
  for (const std::string& args :
       std::vector<std::string>{"", "--sources a.avi", (dir.path() / "missing").string() + " x.avi"}) {
    const PlayerRun run = RunPlayer("--verify " + args, dir);
    EXPECT_EQ(run.status, 2) << args;
  }
}

}  // namespace
