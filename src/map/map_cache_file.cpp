#include "map/map_cache_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

template <typename T>
void PutLittle(std::vector<uint8_t>& out, T value) {
  uint8_t raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));  // the platforms we build for are little-endian
  out.insert(out.end(), raw, raw + sizeof(T));
}

template <typename T>
T GetLittle(const uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

struct RecordHeader {
  double latitude, longitude;
  int32_t zoom, length;
};

RecordHeader ReadHeader(const uint8_t* b) {
  return {GetLittle<double>(b), GetLittle<double>(b + 8), GetLittle<int32_t>(b + 16),
          GetLittle<int32_t>(b + 20)};
}

bool LengthUsable(int32_t length, std::size_t left) {
  return length > 0 && std::size_t(length) <= kMapImageLimit && std::size_t(length) <= left;
}

bool KeysUsable(const RecordHeader& h) {
  return std::isfinite(h.latitude) && std::isfinite(h.longitude) && std::fabs(h.latitude) <= 90 &&
         std::fabs(h.longitude) <= 180 && h.zoom >= 0 && h.zoom <= 30;
}

bool ReadFully(int fd, uint8_t* out, std::size_t n, off_t at) {
  while (n > 0) {
    const ssize_t got = ::pread(fd, out, n, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    n -= std::size_t(got);
    at += got;
  }
  return true;
}

}  // namespace

std::string MapCachePath(const std::string& recordingPath) {
  const std::size_t slash = recordingPath.find_last_of('/');
  const std::size_t dot = recordingPath.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return recordingPath + ".map";
  return recordingPath.substr(0, dot) + ".map";
}

std::vector<uint8_t> EncodeMapCacheRecord(const MapCacheRecord& record) {
  std::vector<uint8_t> out;
  out.reserve(kMapCacheHeaderBytes + record.image.size());
  PutLittle(out, record.latitude);
  PutLittle(out, record.longitude);
  PutLittle(out, record.zoom);
  PutLittle(out, int32_t(record.image.size()));
  out.insert(out.end(), record.image.begin(), record.image.end());
  return out;
}

std::vector<MapCacheRecord> ParseMapCache(const uint8_t* bytes, std::size_t size) {
  std::vector<MapCacheRecord> records;
  std::size_t at = 0;
  while (size - at >= kMapCacheHeaderBytes) {
    const RecordHeader h = ReadHeader(bytes + at);
    at += kMapCacheHeaderBytes;
    if (!LengthUsable(h.length, size - at)) break;
    if (KeysUsable(h))
      records.push_back({h.latitude, h.longitude, h.zoom,
                         std::vector<uint8_t>(bytes + at, bytes + at + std::size_t(h.length))});
    at += std::size_t(h.length);
  }
  return records;
}

MapCacheFile::MapCacheFile(std::string path, bool writable) : path_(std::move(path)), writable_(writable) {
  OpenAs(writable ? O_RDWR : O_RDONLY);
}

bool MapCacheFile::OpenAs(int flags) {
  fd_ = ::open(path_.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd_ < 0) return false;
  struct stat st {};
  // A folder, a FIFO or a device under the cache file's name is not ours to use.
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

MapCacheFile::~MapCacheFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::vector<MapCacheRecord> MapCacheFile::Load() {
  std::vector<MapCacheRecord> records;
  if (fd_ < 0) return records;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return records;
  const off_t size = st.st_size;
  off_t at = 0;
  uint8_t header[kMapCacheHeaderBytes];
  while (size - at >= off_t(kMapCacheHeaderBytes) && ReadFully(fd_, header, sizeof header, at)) {
    const RecordHeader h = ReadHeader(header);
    const off_t body = at + off_t(kMapCacheHeaderBytes);
    if (!LengthUsable(h.length, std::size_t(size - body))) break;
    if (KeysUsable(h)) {
      MapCacheRecord r{h.latitude, h.longitude, h.zoom, std::vector<uint8_t>(std::size_t(h.length))};
      if (!ReadFully(fd_, r.image.data(), r.image.size(), body)) break;
      records.push_back(std::move(r));
    }
    at = body + h.length;
  }
  validEnd_ = at;
  return records;
}

bool MapCacheFile::Append(const MapCacheRecord& record) {
  if (record.image.empty() || record.image.size() > kMapImageLimit) return false;
  if (fd_ < 0 && !(writable_ && OpenAs(O_RDWR | O_CREAT))) return false;
  off_t start = off_t(validEnd_);
  if (validEnd_ < 0) {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return false;
    start = st.st_size;
  }
  const std::vector<uint8_t> bytes = EncodeMapCacheRecord(record);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, start + off_t(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += std::size_t(put);
  }
  const off_t end = done == bytes.size() ? start + off_t(done) : start;
  // Cuts a damaged tail after the new record, or the part of a failed one.
  const bool cut = ::ftruncate(fd_, end) == 0;
  if (done != bytes.size() || !cut) return false;
  if (validEnd_ >= 0) validEnd_ = end;
  return true;
}
