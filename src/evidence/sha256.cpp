#include "evidence/sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace evidence {

struct Sha256::Context {
  EVP_MD_CTX* md = nullptr;
  ~Context() { EVP_MD_CTX_free(md); }
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  context_->md = EVP_MD_CTX_new();
  if (context_->md) EVP_DigestInit_ex(context_->md, EVP_sha256(), nullptr);
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t length) {
  if (context_->md && length > 0) EVP_DigestUpdate(context_->md, data, length);
}

std::string Sha256::HexDigest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (!context_->md || EVP_DigestFinal_ex(context_->md, digest, &size) != 1) return {};
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * size);
  for (unsigned int i = 0; i < size; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

std::string Sha256Hex(const void* data, std::size_t length) {
  Sha256 hash;
  hash.Update(data, length);
  return hash.HexDigest();
}

bool Sha256OfFile(const std::string& path, std::string& hex, std::string& error) {
  // O_NONBLOCK: a FIFO without a writer is refused below instead of blocking the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return error = std::strerror(errno), false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? "is a folder, not a file" : "is not a regular file";
    ::close(fd);
    return false;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  // Large enough that the system call cost vanishes, small enough to stay in cache.
  std::vector<unsigned char> buffer(1 << 20);
  Sha256 hash;
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    hash.Update(buffer.data(), std::size_t(got));
  }
  ::close(fd);
  hex = hash.HexDigest();
  return true;
}

}  // namespace evidence
