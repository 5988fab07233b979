// Fuzz target: the AVI reader over a file made of the input. Opens it both
// ways, walks every stream and reads every indexed chunk through each of the
// reader's read paths, checking the promises avi_reader.h makes about them,
// and summarises the recording as `--info` does from the headers.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "avi/avi_chunk_cursor.h"
#include "avi/avi_length.h"
#include "avi/avi_reader.h"
#include "engine/recording_summary.h"
#include "fuzz_input_file.h"

namespace {

// A damaged index can name the same bytes many times over; reading the
// first few thousand chunks covers every code path without letting one
// input take seconds.
constexpr std::size_t kMaxChunksRead = 4096;

// A broken promise of the reader is a finding like a crash is.
void Check(bool condition) {
  if (!condition) std::abort();
}

void WalkOpenReader(const avi::AviReader& reader) {
  Check(reader.StreamCount() > 0 && reader.StreamCount() <= 100);
  avi::AviChunkCursor cursor(reader, 64 * 1024);
  std::vector<uint8_t> viaVector, viaCursor;
  std::vector<uint8_t> buffer(16 * 1024);
  std::size_t read = 0;
  for (std::size_t s = 0; s < reader.StreamCount(); ++s) {
    const avi::AviStream& stream = reader.Stream(s);
    Check(stream.chunks.size() == reader.ChunkCount(s));
    for (std::size_t k = 0; k < stream.chunks.size() && read < kMaxChunksRead; ++k, ++read) {
      avi::ChunkEntry entry;
      Check(reader.Chunk(s, k, entry));
      // Entries that point outside the file are dropped when the index loads.
      Check(entry.offset <= reader.FileSize() && entry.size <= reader.FileSize() - entry.offset);
      Check(reader.ReadChunk(s, k, viaVector));
      Check(viaVector.size() == entry.size);
      Check(cursor.ReadChunk(s, k, viaCursor));
      Check(viaCursor == viaVector);
      const int64_t n = reader.ReadChunk(s, k, buffer.data(), buffer.size());
      Check(entry.size > buffer.size() ? n == -1 : n == int64_t(entry.size));
    }
    avi::ChunkEntry none;
    Check(!reader.Chunk(s, stream.chunks.size(), none));
  }
  // Out-of-range requests fail instead of reaching memory.
  const avi::AviStream& beyond = reader.Stream(reader.StreamCount());
  Check(beyond.chunks.empty());
  Check(!reader.ReadChunk(reader.StreamCount(), 0, buffer));
  for (const avi::FourCC type : {avi::kVids, avi::kAuds, avi::kTxts}) {
    const int index = reader.NthStreamOfType(type, 0);
    Check(index < int(reader.StreamCount()));
  }
  const std::vector<avi::FileChunk> ordered = reader.ChunksInFileOrder();
  Check(std::is_sorted(ordered.begin(), ordered.end(),
                       [](const avi::FileChunk& a, const avi::FileChunk& b) { return a.offset < b.offset; }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  qmxfuzz::FuzzInputFile file(data, size);
  if (!file.ok()) return 0;

  avi::AviReader reader;
  if (reader.Open(file.path(), avi::AviReader::Load::kHeadersOnly)) {
    for (std::size_t s = 0; s < reader.StreamCount(); ++s) Check(reader.ChunkCount(s) == 0);
    // Header values of any size reach the summary's arithmetic.
    const RecordingSummary summary = SummariseRecording(file.path(), reader);
    Check(summary.streamChannel.size() == reader.StreamCount());
    for (const int channel : summary.streamChannel) Check(channel >= -1 && channel <= 3);
    for (const std::string& format : summary.props.formatText) Check(!format.empty() && format.size() < 64);
  } else {
    Check(!reader.Error().empty() && reader.StreamCount() == 0);
  }
  if (reader.Open(file.path(), avi::AviReader::Load::kIndex)) {
    WalkOpenReader(reader);
  } else {
    Check(!reader.Error().empty() && reader.StreamCount() == 0);
  }
  const avi::AviLength length = avi::ReadAviLength(file.path());
  Check(length.lengthCentis >= 0 && length.videoStreams >= 0 && length.videoStreams <= 4);
  return 0;
}
