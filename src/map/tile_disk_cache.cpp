#include "map/tile_disk_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "map/map_cache_file.h"

namespace {

// FNV-1a: stable across runs and builds, unlike std::hash.
std::string TemplateKey(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (const unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char out[17];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
  return out;
}

}  // namespace

TileDiskCache::TileDiskCache(std::string root, const std::string& tileTemplate)
    : folder_(std::move(root) + "/" + TemplateKey(tileTemplate)) {}

std::string TileDiskCache::DefaultRoot() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  std::string base;
  if (xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : "/tmp") + "/.cache";
  }
  return base + "/QMX/Player/tiles";
}

std::string TileDiskCache::PathOf(const TileKey& tile) const {
  return folder_ + "/" + std::to_string(tile.zoom) + "/" + std::to_string(tile.x) + "/" +
         std::to_string(tile.y);
}

std::optional<std::string> TileDiskCache::Read(const TileKey& tile) const {
  std::error_code ec;
  const std::string path = PathOf(tile);
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size == 0 || size > kMapImageLimit) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) return std::nullopt;
  return bytes;
}

bool TileDiskCache::Write(const TileKey& tile, const std::string& bytes) const {
  const std::string path = PathOf(tile);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) return false;
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += std::size_t(put);
  }
  const bool written = done == bytes.size() && ::fchmod(fd, 0644) == 0;
  if (::close(fd) != 0 || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}
