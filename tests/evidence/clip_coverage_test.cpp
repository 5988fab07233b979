// `qmxplayer --verify` of packages whose clips were replaced by others and
// whose descriptions were re-hashed to match: only the frame check can tell,
// and it must name what is wrong (late, early, short, swapped, a segment gone).
#include <gtest/gtest.h>

#include <fstream>

#include "avi/avi_reader.h"
#include "avi/avi_writer.h"
#include "evidence/package_manifest.h"
#include "evidence_test_support.h"
#include "recording_writer.h"
#include "run_command.h"

namespace {

namespace fs = std::filesystem;

// Writes manifest.json (clips as `keep` says) and MANIFEST.sha256 anew, as a
// forger would after changing the package.
void Redescribe(const fs::path& package, const std::function<void(evidence::PackageDescription&)>& keep) {
  evidence::PackageDescription description;
  std::string error;
  ASSERT_TRUE(
      evidence::ParsePackageJson(ReadWholeFile(package / evidence::kPackageJsonName), description, error))
      << error;
  if (keep) keep(description);
  std::ofstream(package / evidence::kPackageJsonName, std::ios::trunc)
      << evidence::FormatPackageJson(description);
  ASSERT_TRUE(evidence::WriteManifest(package.string(), description, error)) << error;
}

// The clip written again with video frames `a` and `b` of its first stream
// trading places; or, with a < 0, with no chunk at all.
void RewriteClip(const fs::path& clip, int a, int b) {
  avi::AviReader reader;
  ASSERT_TRUE(reader.Open(clip.string())) << reader.Error();
  avi::AviWriter writer(reader.Header());
  for (std::size_t s = 0; s < reader.StreamCount(); ++s)
    writer.AddStream({reader.Stream(s).strh, reader.Stream(s).strf, std::nullopt, true, {}});
  const fs::path copy = clip.string() + ".new";
  ASSERT_TRUE(writer.Open(copy)) << writer.error();
  std::vector<std::size_t> next(reader.StreamCount(), 0);
  std::vector<uint8_t> bytes;
  for (const avi::FileChunk& c : a < 0 ? std::vector<avi::FileChunk>{} : reader.ChunksInFileOrder()) {
    std::size_t k = next[std::size_t(c.stream)]++;
    if (c.stream == 0 && int(k) == a)
      k = std::size_t(b);
    else if (c.stream == 0 && int(k) == b)
      k = std::size_t(a);
    ASSERT_TRUE(reader.ReadChunk(std::size_t(c.stream), k, bytes));
    ASSERT_TRUE(writer.WriteChunk(c.stream, bytes.data(), bytes.size(), true));
  }
  ASSERT_TRUE(writer.Close()) << writer.error();
  fs::rename(copy, clip);
}

struct Replacement {
  const char* name;
  // Makes the forged package from a copy of the fresh one.
  std::function<void(const fs::path& package)> forge;
  std::vector<std::string> lines;  // each a line of the output, after "MISMATCH: " unless it is the summary
};

void ExpectForgeriesNamed(const fs::path& fresh, const TempDir& dir, const std::vector<Replacement>& rows) {
  const PlayerRun honest = RunPlayer("--verify " + ShellQuote(fresh.string()), dir);
  EXPECT_EQ(honest.status, 0) << honest.out << honest.err;
  EXPECT_NE(honest.out.find("Verified: "), std::string::npos) << honest.out;
  for (const Replacement& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path copy = dir / "forged";
    fs::remove_all(copy);
    fs::copy(fresh, copy);
    row.forge(copy);
    const PlayerRun run = RunPlayer("--verify " + ShellQuote(copy.string()), dir);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    for (const std::string& line : row.lines) {
      const std::string whole = (line.starts_with("FAILED") ? line : "MISMATCH: " + line) + "\n";
      EXPECT_NE(run.out.find(whole), std::string::npos) << line << "\n" << run.out;
    }
    EXPECT_EQ(run.out.find("SHA-256 differs"), std::string::npos) << run.out;  // the forger re-hashed well
    EXPECT_EQ(run.out.find("Verified"), std::string::npos) << run.out;
  }
}

TEST(ClipCoverage, ReplacedClipsAreNamed) {
  TempDir dir;
  recgen::RecordingOptions o = SmallRecording();
  o.seconds = 4;  // Trip-001.avi and Trip-002.avi, 120 frames each
  std::string error;
  ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", 2, o, error)) << error;
  const std::string first = ShellQuote((dir / "Trip-001.avi").string());
  // 1 s to 6 s: range frames 0..149 are run frames 30..179, cameras 1 and 3.
  const fs::path fresh = dir / "package";
  const PlayerRun made = RunPlayer(
      "--export-evidence " + first + " --from 100 --to 600 --cameras 1,3 --out " + ShellQuote(fresh.string()),
      dir);
  ASSERT_EQ(made.status, 0) << made.err;
  // The package's clip replaced by one of another range, the description re-hashed.
  auto replacedBy = [&](int from, int to) {
    return [&, from, to](const fs::path& package) {
      const PlayerRun cut =
          RunPlayer("--extract " + first + " --from " + std::to_string(from) + " --to " + std::to_string(to) +
                        " --cameras 1,3 --out " + ShellQuote((package / "clip.avi").string()),
                    dir);
      ASSERT_EQ(cut.status, 0) << cut.err;
      Redescribe(package, {});
    };
  };
  ExpectForgeriesNamed(
      fresh, dir,
      {
          {"a second late",
           replacedBy(200, 700),
           {"clip.avi: camera 1 frame 0 is range frame 30, not 0 (the clip starts late)",
            "camera 1: range frames 0 to 29 (Trip-001.avi frame 30 to Trip-001.avi frame 59, 0.00 s to 1.00 "
            "s "
            "into the range) are in no clip",
            "clip.avi: camera 1 frames 120 to 149 lie outside the range",
            "clip.avi: camera 3 frame 0 is range frame 30, not 0 (the clip starts late)"}},
          {"a second early",
           replacedBy(0, 500),
           {"clip.avi: camera 1 frame 0 is Trip-001.avi frame 0, 30 frames (1.00 s) before the range, not "
            "range "
            "frame 0 (the clip starts early)",
            "clip.avi: camera 1 frames 0 to 29 lie outside the range",
            "camera 1: range frames 120 to 149 (Trip-002.avi frame 30 to Trip-002.avi frame 59, 4.00 s to "
            "5.00 s "
            "into the range) are in no clip"}},
          {"half the range",
           replacedBy(100, 350),
           {"camera 1: range frames 75 to 149 (Trip-001.avi frame 105 to Trip-002.avi frame 59, 2.50 s to "
            "5.00 s "
            "into the range) are in no clip",
            "camera 1: the clips hold 75 frames, the range 150",
            "camera 3: the clips hold 75 frames, the range 150"}},
          {"two frames swapped",
           [](const fs::path& p) {
             RewriteClip(p / "clip.avi", 10, 11);
             Redescribe(p, {});
           },
           {"clip.avi: camera 1 frame 10 differs from Trip-001.avi frame 40",
            "clip.avi: camera 1 frame 11 differs from Trip-001.avi frame 41", "FAILED: 2 mismatches"}},
          {"a clip without frames",
           [](const fs::path& p) {
             RewriteClip(p / "clip.avi", -1, -1);
             Redescribe(p, {});
           },
           {"camera 1: the clips hold 0 frames, the range 150",
            "camera 3: the clips hold 0 frames, the range 150"}},
          {"no clip at all",
           [](const fs::path& p) {
             fs::remove(p / "clip.avi");
             Redescribe(p, [](evidence::PackageDescription& d) { d.clips.clear(); });
           },
           {"manifest.json: names cameras but no clip"}},
      });
}

// A range of three twenty-minute segments at one frame a second, its middle
// segment taken out of the package.
TEST(ClipCoverage, AMissingSegmentIsNamed) {
  TempDir dir;
  recgen::RecordingOptions o = SmallRecording();
  o.seconds = 2460, o.fps = 1;
  o.video = o.audio = {true, false, false, false};
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "Long.avi", o, error)) << error;
  const fs::path fresh = dir / "package";
  const PlayerRun made =
      RunPlayer("--export-evidence " + ShellQuote((dir / "Long.avi").string()) +
                    " --from 0 --to 245000 --cameras 1 --out " + ShellQuote(fresh.string()),
                dir);
  ASSERT_EQ(made.status, 0) << made.err;
  ASSERT_TRUE(fs::exists(fresh / "clip-003.avi"));
  ExpectForgeriesNamed(
      fresh, dir,
      {{"the second of three segments",
        [](const fs::path& p) {
          fs::remove(p / "clip-002.avi");
          Redescribe(p, [](evidence::PackageDescription& d) { d.clips.erase(d.clips.begin() + 1); });
        },
        {"clip-002.avi: segment 2 of the range is not in the package",
         "camera 1: range frames 1200 to 2399 (Long.avi frame 1200 to Long.avi frame 2399, 1200.00 s "
         "to 2400.00 s into the range) are in no clip",
         "clip-003.avi: camera 1 frame 0 is range frame 2400, not 1200",
         "camera 1: the clips hold 1250 frames, the range 2450"}}});
}

}  // namespace
