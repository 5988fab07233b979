// Fuzz target: the map cache file beside a recording. The input is a whole
// cache file; the in-memory parser and the file loader must give the same
// records, each within the limits the format promises, and those records
// written again must read back unchanged.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_input_file.h"
#include "map/map_cache_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<MapCacheRecord> parsed = ParseMapCache(data, size);
  std::vector<uint8_t> again;
  std::size_t imageBytes = 0;
  for (const MapCacheRecord& r : parsed) {
    Check(std::isfinite(r.latitude) && std::isfinite(r.longitude));
    Check(std::fabs(r.latitude) <= 90 && std::fabs(r.longitude) <= 180);
    Check(r.zoom >= 0 && r.zoom <= 30);
    Check(!r.image.empty() && r.image.size() <= kMapImageLimit);
    imageBytes += kMapCacheHeaderBytes + r.image.size();
    const std::vector<uint8_t> encoded = EncodeMapCacheRecord(r);
    again.insert(again.end(), encoded.begin(), encoded.end());
  }
  Check(imageBytes <= size);  // nothing is invented
  Check(ParseMapCache(again.data(), again.size()) == parsed);

  qmxfuzz::FuzzInputFile file(data, size);
  if (file.ok()) {
    MapCacheFile cache(file.path(), /*writable=*/false);
    Check(cache.IsOpen());
    Check(cache.Load() == parsed);
  }
  return 0;
}
