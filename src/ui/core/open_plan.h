#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Turns the file the user chose into the list of files the engine plays as
// one recording, with the window title and the status line's file name:
// numbered sequences ("Trip-001.avi", "Trip#-001.avi", up to 998) and
// date-stamped groups with their continuation files, under the four modes
// of the open dialog. Files of 4,000 bytes or less never join the list.

enum class OpenMode {
  kSequences = 1,     // "Sequences of AVI Files" (and a path given without the dialog)
  kSingleFile = 2,    // "Single AVI File"
  kFromThisFile = 3,  // "Sequence from this AVI File"
  kAllFiles = 4,      // "All Files"
};

// The open dialog's filter, in the order of OpenMode.
inline constexpr const char* kOpenFilters[4] = {"Sequences of AVI Files (*.avi)", "Single AVI File (*.avi)",
                                                "Sequence from this AVI File (*.avi)", "All Files (*.*)"};

inline constexpr uint64_t kEmptyFileBytes = 4000;

// How the planner sees the file system; tests give a table of names.
class FileProbe {
 public:
  virtual ~FileProbe() = default;
  virtual bool Exists(const std::string& path) = 0;
  // The size of a file opened for reading (with the retries the real probe
  // allows), or nullopt when it cannot be opened.
  virtual std::optional<uint64_t> OpenedSize(const std::string& path) = 0;
  // The AVI files of `folder` in enumeration order (full paths).
  virtual std::vector<std::string> ListAviFiles(const std::string& folder) = 0;
};

// The real file system. Opening retries a few times, briefly, only when an
// open fails.
class DiskFileProbe : public FileProbe {
 public:
  bool Exists(const std::string& path) override;
  std::optional<uint64_t> OpenedSize(const std::string& path) override;
  std::vector<std::string> ListAviFiles(const std::string& folder) override;
};

struct OpenPlan {
  std::vector<std::string> files;  // for the engine's OpenSequence
  std::string title;               // window title ("" when the open stops early)
  std::string displayName;         // the status line's file name
  // A single file of 4,000 bytes or less was chosen: show
  // kEmptyFileMessage and open nothing.
  bool emptySingleFile = false;
};

OpenPlan PlanOpen(const std::string& path, OpenMode mode, const std::string& brand, FileProbe& probe);

// Whether `path` takes the numbered-sequence way (its eighth character from
// the end is "-") under `mode`.
bool IsNumberedPath(const std::string& path, OpenMode mode);
