// `qmxplayer --export-evidence` on a generated numbered run, its package
// verified, and its clip frames tampered with.
#include <gtest/gtest.h>

#include <fstream>

#include "avi/avi_reader.h"
#include "evidence/bookmarks.h"
#include "evidence/package_manifest.h"
#include "evidence/sha256.h"
#include "evidence/sha256_manifest.h"
#include "evidence_test_support.h"
#include "recording_writer.h"
#include "run_command.h"
#include "scoped_env.h"

namespace {

namespace fs = std::filesystem;

// Changes one byte inside frame `frame` of the clip's `n`-th video stream and
// puts the clip's new digest into the manifest, so only the frame check can
// see the change.
void ChangeClipFrameAndRehash(const fs::path& package, int n, std::size_t frame) {
  const fs::path clip = package / "clip.avi";
  uint64_t offset = 0;
  {
    avi::AviReader reader;
    ASSERT_TRUE(reader.Open(clip.string()));
    avi::ChunkEntry entry;
    ASSERT_TRUE(reader.Chunk(std::size_t(reader.NthStreamOfType(avi::kVids, n)), frame, entry));
    offset = entry.offset + entry.size / 2;
  }
  FlipByte(clip, offset);
  std::vector<evidence::ManifestEntry> entries;
  std::string error, text;
  ASSERT_TRUE(evidence::ParseManifest(ReadWholeFile(package / evidence::kManifestFileName), entries, error));
  for (evidence::ManifestEntry& e : entries) {
    if (e.name == "clip.avi") {
      ASSERT_TRUE(evidence::Sha256OfFile(clip.string(), e.hex, error));
    }
    text += evidence::FormatManifestLine(e);
  }
  std::ofstream(package / evidence::kManifestFileName, std::ios::binary | std::ios::trunc) << text;
}

TEST(EvidencePackage, FreshPackagePassesAndEveryTamperingIsNamed) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", 2, SmallRecording(), error)) << error;
  // Bookmarks before, inside and after the range: the range's travel with the package.
  const ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
  ASSERT_TRUE(evidence::SaveRecordingNotes(
      {(dir / "Trip-001.avi").string()},
      {{{20, "before", 0}, {100, "first, inside", 0}, {250, "in the second file", 0}, {350, "after", 0}}, 0},
      error))
      << error;
  const fs::path fresh = dir / "package";
  // 0.5 s to 3 s: across the boundary of the two files, cameras 1 and 3.
  const PlayerRun made =
      RunPlayer("--export-evidence " + ShellQuote((dir / "Trip-001.avi").string()) +
                    " --from 50 --to 300 --cameras 1,3 --out " + ShellQuote(fresh.string()),
                dir);
  ASSERT_EQ(made.status, 0) << made.err;
  for (const char* name :
       {"clip.avi", "metadata.csv", "track.gpx", "camera-1.jpg", "camera-3.jpg", "integrity.txt",
        "integrity.json", "bookmarks.csv", "log.txt", "manifest.json", "MANIFEST.sha256"}) {
    EXPECT_TRUE(fs::is_regular_file(fresh / name)) << name;
  }
  EXPECT_FALSE(fs::exists(fresh / "camera-2.jpg"));
  EXPECT_EQ(ReadWholeFile(fresh / "bookmarks.csv"),
            "position,centis,added,note\r\n0:00:01.00,100,,\"first, inside\"\r\n"
            "0:00:02.50,250,,in the second file\r\n");
  evidence::PackageDescription described;
  ASSERT_TRUE(evidence::ParsePackageJson(ReadWholeFile(fresh / "manifest.json"), described, error)) << error;
  EXPECT_EQ(described.bookmarks, 2);
  int status = -1;
  const std::string said =
      RunCommand("cd " + ShellQuote(fresh.string()) + " && sha256sum --strict -c MANIFEST.sha256", &status);
  EXPECT_EQ(status, 0) << said;
  RunCommand("xmllint --noout --schema " + ShellQuote(std::string(QMX_EVIDENCE_DATA) + "/gpx.xsd") + " " +
                 ShellQuote((fresh / "track.gpx").string()) + " 2>/dev/null",
             &status);
  EXPECT_EQ(status, 0);
  // 2.5 s of camera 1 at 30 fps, each row naming its file.
  const std::string csv = ReadWholeFile(fresh / "metadata.csv");
  std::size_t cameraOneRows = 0, secondFileRows = 0;
  std::istringstream rows(csv);
  for (std::string line; std::getline(rows, line);) {
    cameraOneRows += line.find(".avi,1,") != std::string::npos;
    secondFileRows += line.rfind("Trip-002.avi,1,", 0) == 0;
  }
  EXPECT_EQ(cameraOneRows, 75u);
  EXPECT_EQ(secondFileRows, 30u);

  const struct {
    const char* name;
    std::function<void(const fs::path& package)> change;
    std::string sources;  // extra arguments
    int status;
    std::vector<std::string> lines;  // each expected in the output
  } rows2[] = {
      {"fresh", [](const fs::path&) {}, "", 0, {"Verified: 10 files and 150 clip frames"}},
      {"one byte of the clip",
       [](const fs::path& p) { FlipByte(p / "clip.avi", 3000); },
       "",
       1,
       {"MISMATCH: clip.avi: SHA-256 differs from the manifest"}},
      {"one byte of the snapshot",
       [](const fs::path& p) { FlipByte(p / "camera-3.jpg", 700); },
       "",
       1,
       {"MISMATCH: camera-3.jpg: SHA-256 differs from the manifest"}},
      {"one byte of the CSV",
       [](const fs::path& p) { FlipByte(p / "metadata.csv", 100); },
       "",
       1,
       {"MISMATCH: metadata.csv: SHA-256 differs from the manifest"}},
      {"one byte of the bookmarks",
       [](const fs::path& p) { FlipByte(p / "bookmarks.csv", 40); },
       "",
       1,
       {"MISMATCH: bookmarks.csv: SHA-256 differs from the manifest"}},
      {"one byte of the report",
       [](const fs::path& p) { FlipByte(p / "integrity.json", 10); },
       "",
       1,
       {"MISMATCH: integrity.json: SHA-256 differs from the manifest"}},
      // Camera 3 is the clip's second video stream; clip frame 10 is source frame 15 + 10.
      {"a clip frame, manifest re-hashed",
       [](const fs::path& p) { ChangeClipFrameAndRehash(p, 1, 10); },
       "",
       1,
       {"MISMATCH: clip.avi: camera 3 frame 10 differs from Trip-001.avi frame 25", "FAILED: 1 mismatches"}},
      {"a clip frame in the second file",
       [](const fs::path& p) { ChangeClipFrameAndRehash(p, 0, 60); },
       "",
       1,
       {"MISMATCH: clip.avi: camera 1 frame 60 differs from Trip-002.avi frame 15"}},
      {"sources moved away",
       [&](const fs::path&) {
         fs::create_directories(dir / "moved");
         for (const char* f : {"Trip-001.avi", "Trip-002.avi"}) fs::rename(dir / f, dir / "moved" / f);
       },
       "",
       0,
       {"NOT CHECKED: source ", "Hashes match: 10 files; no clip frame was checked"}},
      {"sources given where they are now",
       [](const fs::path&) {},
       " --sources " + ShellQuote((dir / "moved/Trip-001.avi").string()) + " " +
           ShellQuote((dir / "moved/Trip-002.avi").string()),
       0,
       {"Verified: 10 files and 150 clip frames"}},
      {"a changed frame found in moved sources",
       [](const fs::path& p) { ChangeClipFrameAndRehash(p, 0, 0); },
       " --sources " + ShellQuote((dir / "moved/Trip-001.avi").string()) + " " +
           ShellQuote((dir / "moved/Trip-002.avi").string()),
       1,
       {"MISMATCH: clip.avi: camera 1 frame 0 differs from Trip-001.avi frame 15", "FAILED: 1 mismatches"}},
  };
  for (const auto& row : rows2) {
    SCOPED_TRACE(row.name);
    const fs::path copy = dir / "copy";
    fs::remove_all(copy);
    fs::copy(fresh, copy);
    row.change(copy);
    const PlayerRun run = RunPlayer("--verify " + ShellQuote(copy.string()) + row.sources, dir);
    EXPECT_EQ(run.status, row.status) << run.out << run.err;
    for (const std::string& line : row.lines) EXPECT_NE(run.out.find(line), std::string::npos) << run.out;
    if (row.status != 0) {
      EXPECT_EQ(run.out.find("Verified:"), std::string::npos);
    }
  }
}

TEST(EvidencePackage, BadRequestsWriteNothing) {
  TempDir dir;
  std::string error;
  recgen::RecordingOptions two = SmallRecording();
  two.video = {true, true, false, false};
  ASSERT_TRUE(recgen::WriteRecording(dir / "t.avi", two, error)) << error;
  fs::create_directories(dir / "full");
  std::ofstream(dir / "full/x") << "x";
  // The same recording with camera 1's frame 15 (0.5 s) no JPEG.
  fs::copy_file(dir / "t.avi", dir / "bad.avi");
  {
    avi::AviReader reader;
    ASSERT_TRUE(reader.Open((dir / "bad.avi").string()));
    avi::ChunkEntry entry;
    ASSERT_TRUE(reader.Chunk(std::size_t(reader.NthStreamOfType(avi::kVids, 0)), 15, entry));
    FlipByte(dir / "bad.avi", entry.offset);
  }
  const std::string file = ShellQuote((dir / "t.avi").string());
  const std::string out = " --out " + ShellQuote((dir / "out").string());
  const struct {
    std::string args;
    int status;
    std::string message;
  } rows[] = {
      {file + " --from 0 --to 100 --cameras 5" + out, 2, "usage: qmxplayer --export-evidence"},
      {file + " --from 0 --cameras 1" + out, 2, "usage: qmxplayer --export-evidence"},
      {file + " --from 100 --to 100 --cameras 1" + out, 2, "is not in the recording"},
      {file + " --from 5000 --to 6000 --cameras 1" + out, 2, "is not in the recording"},
      {file + " --from 0 --to 100 --cameras 3" + out, 2, "camera 3 has no video"},
      {ShellQuote((dir / "none.avi").string()) + " --from 0 --to 100 --cameras 1" + out, 2, "none.avi"},
      {file + " --from 0 --to 100 --cameras 1 --out " + ShellQuote((dir / "full").string()), 3,
       "is not an empty folder"},
      {ShellQuote((dir / "bad.avi").string()) + " --from 50 --to 150 --cameras 1,2" + out, 2,
       "camera 1 frame 15 (the range's first) is no picture: Not a JPEG file"},
  };
  for (const auto& row : rows) {
    const PlayerRun run = RunPlayer("--export-evidence " + row.args, dir);
    EXPECT_EQ(run.status, row.status) << row.args << run.err;
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
    EXPECT_EQ(ReadWholeFile(dir / "full/x"), "x");
  }
}

}  // namespace

namespace {

// A package's sources are the files its range uses: another file of the run
// that can't be read has no part in it, and the package verifies.
TEST(EvidencePackage, SourcesAreTheFilesTheRangeUses) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", 2, SmallRecording(), error)) << error;
  FlipByte(dir / "Trip-002.avi", 0);  // no RIFF file any more
  const fs::path package = dir / "package";
  const PlayerRun made = RunPlayer("--export-evidence " + ShellQuote((dir / "Trip-001.avi").string()) +
                                       " --from 0 --to 150 --cameras 1 --out " + ShellQuote(package.string()),
                                   dir);
  ASSERT_EQ(made.status, 0) << made.err;
  evidence::PackageDescription description;
  ASSERT_TRUE(
      evidence::ParsePackageJson(ReadWholeFile(package / evidence::kPackageJsonName), description, error))
      << error;
  ASSERT_EQ(description.sources.size(), 1u);
  EXPECT_EQ(fs::path(description.sources[0].path).filename(), "Trip-001.avi");
  std::vector<evidence::ManifestEntry> entries;
  ASSERT_TRUE(evidence::ParseManifest(ReadWholeFile(package / evidence::kManifestFileName), entries, error));
  for (const evidence::ManifestEntry& e : entries) EXPECT_EQ(e.name.find("Trip-002"), std::string::npos);
  const PlayerRun verified = RunPlayer("--verify " + ShellQuote(package.string()), dir);
  EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
  EXPECT_NE(verified.out.find("Verified: 9 files and 45 clip frames"), std::string::npos) << verified.out;
}

// Packaging, checking and exporting only read: even a recording whose header
// the window's open path would correct keeps every byte, so its digest in a
// package stays true.
TEST(EvidencePackage, SourcesAreNeverWritten) {
  TempDir dir;
  recgen::RecordingOptions o = SmallRecording();
  o.oneStreamHeader = true;
  std::string error, before, after;
  const fs::path source = dir / "Trip.avi";
  ASSERT_TRUE(recgen::WriteRecording(source, o, error)) << error;
  ASSERT_TRUE(evidence::Sha256OfFile(source.string(), before, error)) << error;
  const std::string file = ShellQuote(source.string());
  for (const std::string& args :
       {"--export-evidence " + file + " --from 0 --to 150 --cameras 1,2 --out " +
            ShellQuote((dir / "p").string()),
        "--check " + file,
        "--export-track " + file + " --format kml --out " + ShellQuote((dir / "t.kml").string()),
        "--verify " + ShellQuote((dir / "p").string())}) {
    const PlayerRun run = RunPlayer(args, dir);
    EXPECT_EQ(run.status, 0) << args << run.out << run.err;
  }
  ASSERT_TRUE(evidence::Sha256OfFile(source.string(), after, error)) << error;
  EXPECT_EQ(after, before);
}

}  // namespace
