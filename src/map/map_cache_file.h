#pragma once

// The map cache file beside a recording: every map image fetched for it, so
// the next map window for the same recording shows them without a request.
// Records follow each other with no header and no padding, little-endian:
//   0  8  latitude, IEEE double
//   8  8  longitude, IEEE double
//  16  4  zoom, signed 32-bit
//  20  4  length n of the image, signed 32-bit
//  24  n  image bytes
// Plain C++; a MapCacheFile is used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct MapCacheRecord {
  double latitude = 0;
  double longitude = 0;
  int32_t zoom = 0;
  std::vector<uint8_t> image;
  bool operator==(const MapCacheRecord&) const = default;
};

inline constexpr std::size_t kMapCacheHeaderBytes = 24;
// The largest image a record may hold: what one fetch reads at most.
inline constexpr std::size_t kMapImageLimit = 1'000'000;

// The recording's path with everything from its last "." (in the file name)
// replaced by ".map"; ".map" appended when the name has no ".".
std::string MapCachePath(const std::string& recordingPath);

// The record as stored.
std::vector<uint8_t> EncodeMapCacheRecord(const MapCacheRecord& record);

// The records of a cache file's bytes, in file order. Reading stops at the
// first record that does not fit what is left or whose length is negative,
// zero or over kMapImageLimit (nothing after it can be found again); a
// record with a coordinate that is not a finite number in range or a zoom
// outside 0..30 is skipped. So a damaged or hostile file gives exactly its
// valid records and nothing else.
std::vector<MapCacheRecord> ParseMapCache(const uint8_t* bytes, std::size_t size);

class MapCacheFile {
 public:
  // Opens `path` for reading and appending when it exists; only for reading
  // when `writable` is false (Append then fails). A missing file is made
  // (mode 0644 less the umask) by the first Append, so a map window that
  // stores nothing leaves nothing beside the recording. IsOpen() is false
  // while there is no usable file; the map then works without it.
  explicit MapCacheFile(std::string path, bool writable = true);
  ~MapCacheFile();
  MapCacheFile(const MapCacheFile&) = delete;
  MapCacheFile& operator=(const MapCacheFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // The valid records of the file (ParseMapCache), read in pieces so a huge
  // or lying file never decides how much memory is used beyond its records.
  std::vector<MapCacheRecord> Load();

  // Appends one record, making the file first when there is none: after the
  // last valid record once Load has run (so a damaged tail is replaced and
  // the new record can be found again), else at the end. A write that fails half way (full disk) is cut off
  // again, so the file never ends in a partial record. False on failure.
  bool Append(const MapCacheRecord& record);

 private:
  bool OpenAs(int flags);

  std::string path_;
  const bool writable_;
  int fd_ = -1;
  long long validEnd_ = -1;  // end of the last valid record; -1 before Load
};
