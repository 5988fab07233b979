#include "clip/private_temp_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace clip {

PrivateTempFolder::PrivateTempFolder(const std::string& prefix) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  std::string pattern = ((ec ? std::filesystem::path("/tmp") : base) / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data())) {
    path_ = pattern;
  } else {
    error_ = std::strerror(errno);
  }
}

PrivateTempFolder::~PrivateTempFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path CreateSiblingTemporary(const std::filesystem::path& target, std::string& error) {
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return {};
  }
  ::fchmod(fd, 0644);
  ::close(fd);
  return pattern;
}

}  // namespace clip
