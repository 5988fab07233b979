#pragma once

// A folder's contents built out of sight and put in place whole, so that a
// package that fails half way (a full disk, a file-size limit, a damaged
// source, a cancel) leaves nothing a reader could take for a package.
//
// The files are written into a private folder (mkdtemp, mode 0700) on the
// target's own file system, so putting them in place is a rename that can't
// run out of space:
//   - a new target: the private folder is made beside it (".NAME.XXXXXX"),
//     and Commit() renames it to the target's name, refusing to replace a
//     target that appeared meanwhile; missing parents are made first.
//   - an existing empty folder (a mount point, a folder with its own owner
//     or mode): the private folder is made inside it, and Commit() renames
//     each file up into it, refusing to replace one.
// Without Commit() the destructor removes the private folder with all it
// holds and the parents it made; an existing target is left empty, as it
// was.
//
// Threads: one object on one thread.

#include <string>
#include <vector>

namespace evidence {

class StagedFolder {
 public:
  explicit StagedFolder(std::string target);
  ~StagedFolder();
  StagedFolder(const StagedFolder&) = delete;
  StagedFolder& operator=(const StagedFolder&) = delete;

  // False when the target is neither new nor an empty folder, or no private
  // folder could be made; error() then says why (without the target's name).
  bool ok() const { return !path_.empty(); }
  const std::string& error() const { return error_; }
  // Where the files go until Commit().
  const std::string& path() const { return path_; }

  // Flushes every file to the disk and puts them in place. False with the
  // reason in `error` (without the target's name), and nothing of them left
  // in the target.
  bool Commit(std::string& error);

 private:
  std::string target_;
  std::string path_;
  std::string error_;
  bool existing_ = false;  // the target was an empty folder before
  bool committed_ = false;
  std::vector<std::string> madeParents_;  // outermost first
};

}  // namespace evidence
