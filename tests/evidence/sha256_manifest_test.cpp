// SHA-256 over libcrypto and the sha256sum checksum list, checked against
// the coreutils tool itself.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "evidence/sha256.h"
#include "evidence/sha256_manifest.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

TEST(Sha256, KnownDigestsAndFilesLargerThanOneRead) {
  struct Row {
    std::string input;
    const char* hex;
  };
  const std::vector<Row> rows = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  TempDir dir;
  for (const Row& row : rows) {
    EXPECT_EQ(evidence::Sha256Hex(row.input.data(), row.input.size()), row.hex);
    // The same bytes as a file, and grown past the read size, against sha256sum.
    for (const std::size_t repeat : {std::size_t(1), std::size_t(5)}) {
      std::string bytes;
      for (std::size_t i = 0; i < repeat; ++i) bytes += row.input;
      const std::filesystem::path file = dir / "data.bin";
      WriteFile(file, bytes);
      std::string hex, error;
      ASSERT_TRUE(evidence::Sha256OfFile(file.string(), hex, error)) << error;
      EXPECT_EQ(hex, RunCommand("sha256sum " + ShellQuote(file.string()) + " | cut -c1-64").substr(0, 64));
      if (repeat == 1) {
        EXPECT_EQ(hex, row.hex);
      }
    }
  }
}

TEST(Sha256, UnreadableFilesSayWhy) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  std::string hex, error;
  EXPECT_FALSE(evidence::Sha256OfFile((dir / "missing").string(), hex, error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(evidence::Sha256OfFile((dir / "folder").string(), hex, error));
  EXPECT_EQ(error, "is a folder, not a file");
}

// Names a package may hold, including those sha256sum escapes.
TEST(Sha256Manifest, SameLinesAsSha256sumAndItsCheckPasses) {
  const std::vector<std::string> names = {"clip.avi",      "with space.csv",        "back\\slash.txt",
                                          "new\nline.gpx", "carriage\rreturn.json", "*star",
                                          " leading blank"};
  TempDir dir;
  std::string ours;
  for (std::size_t i = 0; i < names.size(); ++i) {
    WriteFile(dir / names[i], "content " + std::to_string(i));
    std::string hex, error;
    ASSERT_TRUE(evidence::Sha256OfFile((dir / names[i]).string(), hex, error)) << error;
    ours += evidence::FormatManifestLine({hex, names[i]});
  }
  WriteFile(dir / "MANIFEST.sha256", ours);
  int status = -1;
  const std::string check = RunCommand(
      "cd " + ShellQuote(dir.path().string()) + " && sha256sum --strict -c MANIFEST.sha256", &status);
  EXPECT_EQ(status, 0) << check;

  // The tool's own list, in its order, reads back as ours.
  std::string theirs;
  for (const std::string& name : names) {
    theirs += RunCommand("cd " + ShellQuote(dir.path().string()) + " && sha256sum -b " + ShellQuote(name));
  }
  EXPECT_EQ(theirs, ours);
  std::vector<evidence::ManifestEntry> entries;
  std::string error;
  ASSERT_TRUE(evidence::ParseManifest(theirs, entries, error)) << error;
  ASSERT_EQ(entries.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(entries[i].name, names[i]);
}

TEST(Sha256Manifest, ReadsTextModeAndRefusesBadLines) {
  const std::string hex(64, 'A');
  struct Row {
    std::string text;
    bool ok;
    std::string nameOrError;
  };
  const std::vector<Row> rows = {
      {hex + "  text mode.avi\n", true, "text mode.avi"},
      {hex + " *binary.avi", true, "binary.avi"},
      {"\n\n" + hex + " *after blanks\n", true, "after blanks"},
      {"\\" + hex + " *a\\\\b\\nc\n", true, "a\\b\nc"},
      {hex.substr(1) + " *short\n", false, "line 1: the digest is not 64 hex digits"},
      {hex + "\t*tab\n", false, "line 1: the digest is not followed by \"  \" or \" *\""},
      {std::string(64, 'g') + " *x\n", false, "line 1: the digest is not 64 hex digits"},
      {hex + " *ok\n" + hex + "\n", false, "line 2: too short for a SHA-256 line"},
      {hex + " *\n", false, "line 1: no file name"},
      {"\\" + hex + " *bad\\q\n", false, "line 1: a bad escape in the file name"},
  };
  for (const Row& row : rows) {
    std::vector<evidence::ManifestEntry> entries;
    std::string error;
    ASSERT_EQ(evidence::ParseManifest(row.text, entries, error), row.ok) << row.text;
    if (row.ok) {
      ASSERT_EQ(entries.size(), 1u);
      EXPECT_EQ(entries[0].name, row.nameOrError);
      EXPECT_EQ(entries[0].hex, std::string(64, 'a'));
    } else {
      EXPECT_EQ(error, row.nameOrError);
    }
  }
}

}  // namespace
