#include "evidence/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace evidence {

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return error = "is a folder, not a file", false;
  std::string temporary = path + ".partXXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return error = std::strerror(errno), false;
  ::fchmod(fd, 0644);
  const auto fail = [&](int code) {
    error = std::strerror(code);
    ::close(fd);
    ::unlink(temporary.c_str());
    return false;
  };
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail(n < 0 ? errno : ENOSPC);
    done += std::size_t(n);
  }
  if (::fsync(fd) != 0) return fail(errno);
  if (::close(fd) != 0) {
    error = std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace evidence
