#pragma once

// A file opened read-only for positioned reads (pread), so several readers
// can share no file position and random access costs one system call.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace avi {

// The positioned-read system call every ReadOnlyFile goes through, so tests
// can inject short reads, EINTR and I/O errors. nullptr restores ::pread.
using PreadCall = ssize_t (*)(int fd, void* buffer, std::size_t count, off_t offset);
void SetPreadCallForTesting(PreadCall call);

// Why a path of mode `mode` (as stat() gives it) is no regular file: "is a
// folder, not a file", "is a FIFO, not a regular file", ...; "" for a
// regular file. Never repeats the path.
std::string NotAFileReason(mode_t mode);

class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;

  // Opens `path`; false when it can't be opened or is not a regular file,
  // with the reason in `error` ("No such file or directory", "is a folder,
  // not a file", "is a FIFO, not a regular file", ...), which never repeats
  // the path: the caller names it once. Never blocks, whatever the path is.
  bool Open(const std::string& path, std::string* error);
  bool IsOpen() const { return fd_ >= 0; }
  void Close();

  // Size in bytes, taken when the file was opened.
  uint64_t Size() const { return size_; }

  // Reads exactly `count` bytes at `offset` into `out` (retrying short reads
  // and EINTR); false when the range leaves the file or the read fails.
  bool ReadAt(uint64_t offset, void* out, std::size_t count) const;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

}  // namespace avi
