#include "avi/output_guard.h"

#include <sys/stat.h>

#include "avi/read_only_file.h"

namespace avi {

OutputRefusal RefuseOutputs(const std::vector<std::string>& outputs, const std::vector<std::string>& sources,
                            OutputKind kind) {
  std::vector<std::pair<const std::string*, struct stat>> known;
  for (const std::string& source : sources) {
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0) known.emplace_back(&source, st);
  }
  for (const std::string& output : outputs) {
    // stat() follows every link: a link to a source is the source.
    struct stat st {};
    if (::stat(output.c_str(), &st) != 0) continue;  // a new name (or one the write will fail on)
    for (const auto& [source, s] : known) {
      if (st.st_dev == s.st_dev && st.st_ino == s.st_ino)
        return {output, *source == output ? "would replace the recording it is made from"
                                          : "would replace the recording " + *source};
    }
    if (kind == OutputKind::kFile) {
      if (std::string why = NotAFileReason(st.st_mode); !why.empty()) return {output, std::move(why)};
    } else if (!S_ISDIR(st.st_mode)) {
      const char* what = S_ISREG(st.st_mode)                          ? "a file"
                         : S_ISFIFO(st.st_mode)                       ? "a FIFO"
                         : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                                                                      : "something else";
      return {output, std::string("is ") + what + ", not a folder"};
    }
  }
  return {};
}

}  // namespace avi
