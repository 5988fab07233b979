#pragma once

// The one rule every writer of the player obeys before it writes anything:
// an output never replaces a file it is made from, and only a regular file
// or a new name is ever replaced. Asked once, for every name a command will
// write (each segment of a long clip too), before the first byte goes out.

#include <string>
#include <vector>

namespace avi {

// What a command writes at each output name.
enum class OutputKind {
  kFile,    // a file, written beside and renamed into place
  kFolder,  // a folder the command fills (new or existing)
};

struct OutputRefusal {
  std::string output;  // the refused name, as given
  // Why, without the name: "would replace the recording SRC", "is a FIFO,
  // not a regular file", ...; empty when every output may be written.
  std::string reason;
  explicit operator bool() const { return !reason.empty(); }
};

// The first of `outputs` that must not be written, or an empty refusal.
// An output is refused when it is the same file as any of `sources` (the
// same device and inode, so a symbolic link to a source, a hard link and
// another spelling of its path are caught), or when it exists as something
// `kind` does not replace (a folder, FIFO, device or socket for a file;
// anything but a folder for a folder). A source that cannot be examined is
// no file an output could replace. Only examines names; never opens one.
OutputRefusal RefuseOutputs(const std::vector<std::string>& outputs, const std::vector<std::string>& sources,
                            OutputKind kind = OutputKind::kFile);

}  // namespace avi
