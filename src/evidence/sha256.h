#pragma once

// SHA-256 through OpenSSL's libcrypto. Files are hashed in fixed-size pieces,
// so a recording of several GB costs the same memory as a small one.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace evidence {

inline constexpr std::size_t kSha256HexChars = 64;

// An incremental hash: Update() any number of times, then HexDigest() once.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const void* data, std::size_t length);
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

// The hex digest of `length` bytes.
std::string Sha256Hex(const void* data, std::size_t length);

// Hashes the file at `path` with reads of a fixed size. False with the
// system's reason in `error` (never repeating the path) when it can't be
// opened, is no regular file or a read fails.
bool Sha256OfFile(const std::string& path, std::string& hex, std::string& error);

}  // namespace evidence
