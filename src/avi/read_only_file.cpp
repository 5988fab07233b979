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

std::string NotAFileReason(mode_t mode) {
  if (S_ISREG(mode)) return "";
  if (S_ISDIR(mode)) return "is a folder, not a file";
  if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  return "is not a regular file";
}

bool ReadOnlyFile::Open(const std::string& path, std::string* error) {
  Close();
  auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  // Opening a FIFO for reading blocks until a writer comes, so the kind of
  // file is checked before open(); O_NONBLOCK covers one swapped in between,
  // and fstat() then tells what was really opened.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return fail(std::strerror(errno));
  if (const std::string why = NotAFileReason(st.st_mode); !why.empty()) return fail(why);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return fail(std::strerror(errno));
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const std::string why = NotAFileReason(st.st_mode);
    ::close(fd);
    return fail(why.empty() ? "cannot be examined" : why);
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
