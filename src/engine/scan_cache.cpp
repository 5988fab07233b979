#include "engine/scan_cache.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[8] = {'Q', 'M', 'X', 'S', 'C', 'A', 'N', '1'};
// Sizes no honest entry reaches; a bigger one is damage.
constexpr uint32_t kMaxTextBytes = 64 * 1024;
constexpr std::size_t kRecordBytes = 8 + kMetadataSampleBytes;

struct Key {
  std::string path;  // absolute
  uint64_t size = 0;
  int64_t modified = 0;  // nanoseconds of the file clock
};

std::optional<Key> KeyOf(const std::string& path) {
  std::error_code ec;
  Key key;
  key.path = fs::absolute(path, ec).lexically_normal().string();
  if (ec) return std::nullopt;
  key.size = fs::file_size(path, ec);
  if (ec) return std::nullopt;
  const auto time = fs::last_write_time(path, ec);
  if (ec) return std::nullopt;
  key.modified = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
  return key;
}

// FNV-1a: a stable name for the path's entry (the entry holds the path too,
// so a collision only costs a rescan).
std::string EntryName(const std::string& absolutePath) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : absolutePath) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.scan", static_cast<unsigned long long>(h));
  return name;
}

class Writer {
 public:
  void U8(uint8_t v) { bytes.push_back(v); }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
  }
  void U64(uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
  }
  void Raw(const void* data, std::size_t n) {
    const std::size_t at = bytes.size();
    bytes.resize(at + n);
    if (n > 0) std::memcpy(bytes.data() + at, data, n);
  }
  void Text(const std::string& s) {
    U32(uint32_t(s.size()));
    Raw(s.data(), s.size());
  }
  std::vector<uint8_t> bytes;
};

// Reads little-endian values; every read is checked, and once one fails
// the reader stays failed.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& b) : bytes_(b) {}
  bool ok() const { return ok_; }
  std::size_t Left() const { return bytes_.size() - at_; }
  bool Take(void* out, std::size_t n) {
    if (!ok_ || n > Left()) return ok_ = false;
    std::memcpy(out, bytes_.data() + at_, n);
    at_ += n;
    return true;
  }
  uint8_t U8() {
    uint8_t v = 0;
    Take(&v, 1);
    return v;
  }
  uint32_t U32() {
    uint8_t b[4] = {};
    Take(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }
  uint64_t U64() {
    const uint64_t lo = U32();
    return lo | uint64_t(U32()) << 32;
  }
  std::string Text() {
    const uint32_t n = U32();
    if (!ok_ || n > kMaxTextBytes || n > Left()) {
      ok_ = false;
      return {};
    }
    std::string s(reinterpret_cast<const char*>(bytes_.data() + at_), n);
    at_ += n;
    return s;
  }

 private:
  const std::vector<uint8_t>& bytes_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

std::vector<uint8_t> Serialize(const Key& key, const FileScan& scan) {
  Writer w;
  w.Raw(kMagic, sizeof kMagic);
  w.Text(key.path);
  w.U64(key.size);
  w.U64(uint64_t(key.modified));
  w.U64(uint64_t(scan.lengthCentis));
  w.U8(uint8_t((scan.textLines ? 1 : 0) | (scan.fromMetadataStream ? 2 : 0)));
  w.Text(scan.error);
  w.U64(scan.records.size());
  uint8_t packed[kMetadataSampleBytes];
  for (const ScannedRecord& r : scan.records) {
    w.U64(uint64_t(r.centis));
    PackMetadataSample(r.sample, packed);
    w.Raw(packed, sizeof packed);
  }
  return std::move(w.bytes);
}

std::optional<FileScan> Deserialize(const std::vector<uint8_t>& bytes, const Key& key) {
  Reader r(bytes);
  char magic[sizeof kMagic];
  if (!r.Take(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof magic) != 0) return std::nullopt;
  if (r.Text() != key.path || r.U64() != key.size || int64_t(r.U64()) != key.modified || !r.ok())
    return std::nullopt;
  FileScan scan;
  scan.path = key.path;
  scan.lengthCentis = int64_t(r.U64());
  const uint8_t flags = r.U8();
  scan.textLines = flags & 1;
  scan.fromMetadataStream = flags & 2;
  scan.error = r.Text();
  const uint64_t count = r.U64();
  // The count decides the allocation only once the bytes are known to be there.
  if (!r.ok() || count != r.Left() / kRecordBytes || r.Left() % kRecordBytes != 0) return std::nullopt;
  scan.records.resize(count);
  uint8_t packed[kMetadataSampleBytes];
  for (ScannedRecord& rec : scan.records) {
    rec.centis = int64_t(r.U64());
    r.Take(packed, sizeof packed);
    rec.sample = UnpackMetadataSample(packed);
  }
  if (!r.ok()) return std::nullopt;
  return scan;
}

}  // namespace

std::string ScanCacheFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && *cache) return (fs::path(cache) / "qmxplayer" / "scans").string();
  const char* home = std::getenv("HOME");
  if (home && *home) return (fs::path(home) / ".cache" / "qmxplayer" / "scans").string();
  return {};
}

std::optional<FileScan> LoadCachedScan(const std::string& path) {
  const std::string folder = ScanCacheFolder();
  const std::optional<Key> key = KeyOf(path);
  if (folder.empty() || !key) return std::nullopt;
  std::ifstream in(fs::path(folder) / EntryName(key->path), std::ios::binary);
  if (!in) return std::nullopt;
  // An honest entry is 64 bytes a record; cap the read far above a day of
  // frames so a huge foreign file can't exhaust memory.
  constexpr std::streamsize kMaxEntryBytes = 1ll << 30;
  in.seekg(0, std::ios::end);
  const std::streamsize size = in.tellg();
  if (size <= 0 || size > kMaxEntryBytes) return std::nullopt;
  in.seekg(0);
  std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return std::nullopt;
  std::optional<FileScan> scan = Deserialize(bytes, *key);
  if (scan) scan->path = path;
  return scan;
}

bool StoreCachedScan(const FileScan& scan) {
  if (scan.error == kScanCancelledError) return false;
  const std::string folder = ScanCacheFolder();
  const std::optional<Key> key = KeyOf(scan.path);
  if (folder.empty() || !key) return false;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return false;
  const std::vector<uint8_t> bytes = Serialize(*key, scan);
  const fs::path target = fs::path(folder) / EntryName(key->path);
  const fs::path temp = target.string() + "." + std::to_string(::getpid()) + "." +
                        std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()));
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush()) {
      out.close();
      fs::remove(temp, ec);
      return false;
    }
  }
  fs::rename(temp, target, ec);
  if (ec) fs::remove(temp, ec);
  return !ec;
}

FileScan CachedScanRecordingFile(const std::string& path, const std::atomic<bool>* cancel,
                                 const ScanProgress& progress) {
  if (std::optional<FileScan> cached = LoadCachedScan(path)) return std::move(*cached);
  FileScan scan = ScanRecordingFile(path, 0, cancel, progress);
  StoreCachedScan(scan);
  return scan;
}

RecordingScan ScanRecordingCached(const std::string& path, const std::atomic<bool>* cancel,
                                  const ScanProgress& progress) {
  return ScanRecording(path, cancel, progress, CachedScanRecordingFile);
}

RecordingScan ScanRecordingFilesCached(const std::vector<std::string>& paths, const std::atomic<bool>* cancel,
                                       const ScanProgress& progress) {
  return ScanRecordingFiles(paths, cancel, progress, CachedScanRecordingFile);
}
