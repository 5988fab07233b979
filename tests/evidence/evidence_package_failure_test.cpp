// `qmxplayer --export-evidence` onto a disk that fills up at each step of the
// package (a real 5 MB tmpfs) and under a file-size limit: nothing of the
// package is left, a folder the run made is gone, an empty one stays empty,
// and one line gives the system's reason.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "evidence/package_manifest.h"
#include "evidence_test_support.h"
#include "recording_writer.h"
#include "run_command.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kPage = 4096;  // tmpfs counts whole pages

// A 5 MB tmpfs on a private folder for the object's life.
class SmallDisk {
 public:
  SmallDisk() {
    if (::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=5m") == 0)
      mounted_ = true;
    else
      error_ = std::strerror(errno);
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  const std::string& error() const { return error_; }
  const fs::path& path() const { return dir_.path(); }
  uint64_t FreeBytes() const {
    struct statvfs st {};
    return ::statvfs(path().c_str(), &st) == 0 ? uint64_t(st.f_bavail) * st.f_frsize : 0;
  }

 private:
  TempDir dir_;
  bool mounted_ = false;
  std::string error_;
};

// Every name in `folder`, hidden ones too.
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The run failed with one line naming `file` and `reason`, and left nothing:
// `out` is gone with the parents the run made, or empty when it was before.
void ExpectNothingLeft(const PlayerRun& run, const fs::path& out, bool existed, const std::string& file,
                       const std::string& reason) {
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(run.err.rfind("qmxplayer: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find((out / file).string() + ": " + reason), std::string::npos) << run.err;
  if (existed) {
    EXPECT_EQ(Names(out), std::vector<std::string>{});
  } else {
    EXPECT_FALSE(fs::exists(out.parent_path())) << out.parent_path();
  }
}

struct Sources {
  TempDir dir;
  std::string exportArgs;  // up to --out
  Sources() {
    std::string error;
    EXPECT_TRUE(recgen::WriteSequence(dir.path(), "Trip", 2, SmallRecording(), error)) << error;
    exportArgs = "--export-evidence " + ShellQuote((dir / "Trip-001.avi").string()) +
                 " --from 50 --to 300 --cameras 1,3 --out ";
  }
};

TEST(EvidencePackageFailure, FullDiskAtEachStepLeavesNothing) {
  Sources sources;
  // What each file takes, from a package made where there is room.
  const fs::path reference = sources.dir / "reference";
  const PlayerRun made = RunPlayer(sources.exportArgs + ShellQuote(reference.string()), sources.dir);
  ASSERT_EQ(made.status, 0) << made.err;
  SmallDisk disk;
  if (!disk.mounted())
    GTEST_SKIP() << "mounting a 5 MB tmpfs is not permitted here (" << disk.error()
                 << "); EvidencePackageFailure.FileSizeLimitLeavesNothing covers the same path";
  const uint64_t room = disk.FreeBytes();
  ASSERT_GT(room, 4u << 20);

  // The files in the order the package writes them.
  const std::vector<std::string> order = {"clip.avi",
                                          "metadata.csv",
                                          "track.gpx",
                                          "camera-1.jpg",
                                          "camera-3.jpg",
                                          "bookmarks.csv",
                                          "integrity.txt",
                                          "integrity.json",
                                          "manifest.json",
                                          "log.txt",
                                          evidence::kManifestFileName};
  const struct {
    std::string fullAt;  // the file the disk fills up in
    bool existing;       // the package goes into an empty folder that is there
  } rows[] = {
      {"clip.avi", false},
      {"metadata.csv", true},
      {"camera-3.jpg", false},
      {"manifest.json", true},
      {evidence::kManifestFileName, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fullAt);
    for (const std::string& name : Names(disk.path())) fs::remove_all(disk.path() / name);
    // Room for every file before it and half of it (none when it takes a page).
    uint64_t pages = 0;
    for (const std::string& name : order) {
      const uint64_t filePages = (fs::file_size(reference / name) + kPage - 1) / kPage;
      if (name == row.fullAt) {
        pages += filePages / 2;
        break;
      }
      pages += filePages;
    }
    std::ofstream(disk.path() / "filler", std::ios::binary) << std::string(room - pages * kPage, '\0');
    const fs::path out = row.existing ? disk.path() / "empty" : disk.path() / "new" / "package";
    if (row.existing) fs::create_directory(out);

    const PlayerRun run = RunPlayer(sources.exportArgs + ShellQuote(out.string()), sources.dir);
    ExpectNothingLeft(run, out, row.existing, row.fullAt, "No space left on device");
    EXPECT_EQ(Names(disk.path()), row.existing ? (std::vector<std::string>{"empty", "filler"})
                                               : std::vector<std::string>{"filler"});
  }

  // With the room, the package goes into the empty disk itself, a mount
  // point no rename could replace, and checks out with sha256sum.
  for (const std::string& name : Names(disk.path())) fs::remove_all(disk.path() / name);
  const PlayerRun run = RunPlayer(sources.exportArgs + ShellQuote(disk.path().string()), sources.dir);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Names(disk.path()), Names(reference));
  int status = -1;
  const std::string said = RunCommand(
      "cd " + ShellQuote(disk.path().string()) + " && sha256sum --strict -c MANIFEST.sha256", &status);
  EXPECT_EQ(status, 0) << said;
}

// The same path where mounting is not permitted: each file of the package
// may hold 64 kB, so the clip fails, and the player is not killed for it.
TEST(EvidencePackageFailure, FileSizeLimitLeavesNothing) {
  Sources sources;
  TempDir target;
  for (const bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "existing empty folder" : "new folder");
    const fs::path out = existing ? target / "empty" : target / "new" / "package";
    if (existing) fs::create_directory(out);
    const PlayerRun run =
        RunPlayer(sources.exportArgs + ShellQuote(out.string()), sources.dir, "ulimit -f 128;");
    ExpectNothingLeft(run, out, existing, "clip.avi", "File too large");
    EXPECT_EQ(Names(target.path()),
              existing ? std::vector<std::string>{"empty"} : std::vector<std::string>{});
  }
}

}  // namespace
