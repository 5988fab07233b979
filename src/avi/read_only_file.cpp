#include "avi/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace avi {

namespace {
std::atomic<PreadCall> preadCall{&::pread};
}  // namespace

void SetPreadCallForTesting(PreadCall call) {
  preadCall = call ? call : &::pread;
}

ReadOnlyFile::~ReadOnlyFile() {
  Close();
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

bool ReadOnlyFile::Open(const std::string& path, std::string* error) {
  Close();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (error) *error = path + " is not a regular file";
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size_ = uint64_t(st.st_size);
  return true;
}

void ReadOnlyFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

bool ReadOnlyFile::ReadAt(uint64_t offset, void* out, std::size_t count) const {
  if (fd_ < 0 || offset > size_ || count > size_ - offset) return false;
  auto* dst = static_cast<uint8_t*>(out);
  while (count > 0) {
    const ssize_t n = preadCall.load()(fd_, dst, count, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // error, or the file shrank under us
    dst += n;
    offset += uint64_t(n);
    count -= std::size_t(n);
  }
  return true;
}

}  // namespace avi
