#pragma once

// A RIFF AVI writer: one RIFF list holding hdrl, optional extra chunks
// before movi, movi with the chunks in the order they were written, and an
// idx1 index. With OpenDML enabled the file also carries a super index
// (`indx`) per stream, the `odml` header list and a standard index (`ix##`)
// per stream at the end of every movi list, and continues in RIFF 'AVIX'
// parts of at most 1 GB each, so it may grow past 4 GB; idx1 then covers
// the first RIFF only, which AVI 1.0 readers still play. Stream headers and format blocks are written byte
// for byte as given; only the length fields that depend on the chunks written are filled in at Close().
//
// Usage: declare streams and extra chunks, Open(), WriteChunk() any number of
// times in any interleaving, Close(). The header is written before the first
// chunk, so every stream must be added before that. All calls come from one
// thread. Errors are sticky: after the first failure every call returns false
// and error() says what went wrong. A writer destroyed without Close() leaves
// an incomplete file behind (nothing is patched).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "avi/avi_format.h"

namespace avi {

struct WriterStream {
  std::vector<uint8_t> strh;        // at least kStreamHeaderBytes; longer headers are kept whole
  std::vector<uint8_t> strf;        // format block (BITMAPINFOHEADER, WAVEFORMATEX, ...), may be empty
  std::optional<std::string> name;  // strn text, written with its terminating NUL
  // When true, dwLength (strh offset 32) is set at Close() from what was
  // written: chunks for streams with dwSampleSize 0, otherwise bytes divided by
  // dwSampleSize. Clear it to keep the given header unchanged.
  bool patchLength = true;
  std::vector<uint8_t> vprp;  // OpenDML video properties, written after strn when not empty
};

// A stream from decoded header fields.
WriterStream MakeWriterStream(const StreamHeader& header, std::vector<uint8_t> strf,
                              std::optional<std::string> name = std::nullopt);

// BITMAPINFOHEADER (40 bytes) for a compressed video stream.
std::vector<uint8_t> MakeBitmapInfo(int32_t width, int32_t height, FourCC compression, uint16_t bitCount,
                                    uint32_t imageBytes);
// WAVEFORMATEX (18 bytes, cbSize 0).
std::vector<uint8_t> MakeWaveFormat(uint16_t formatTag, uint16_t channels, uint32_t samplesPerSecond,
                                    uint16_t bitsPerSample, uint16_t blockAlign);

class AviWriter {
 public:
  // `main` supplies microSecPerFrame, flags, width and height; the frame
  // total, stream count, buffer size and data rate are filled in at Close().
  explicit AviWriter(const MainHeader& main);
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Returns the new stream's index, or -1 once chunks have been written or
  // the strh is shorter than kStreamHeaderBytes.
  int AddStream(WriterStream stream);

  // Pads the hdrl list with a JUNK chunk so that its size field (the LIST
  // size, file offset 16) equals `bytes`. Writing the header fails when the
  // streams do not fit or leave less than a chunk header (8 bytes) to pad.
  void SetHeaderListBytes(uint32_t bytes);

  // A chunk written at RIFF level between hdrl and movi, in the order added
  // (configuration text, version chunks). Odd payloads get a pad byte.
  void AddChunkBeforeMovi(FourCC id, std::vector<uint8_t> payload);

  // Bytes written after the RIFF list and its index, outside any chunk.
  void SetTrailer(std::vector<uint8_t> bytes);

  // Declares `count` streams in avih instead of the real number.
  void SetDeclaredStreamCount(uint32_t count);

  // Writes OpenDML indexes and starts a new RIFF 'AVIX' part whenever the
  // current RIFF would pass `riffBytes`. Call before the first chunk. A file
  // may hold kMaxRiffParts parts.
  void EnableOpenDml(uint64_t riffBytes = kOpenDmlRiffBytes);
  static constexpr uint64_t kOpenDmlRiffBytes = 1ull << 30;
  static constexpr uint32_t kMaxRiffParts = 1024;

  // Creates or truncates the file. Nothing is written until the first chunk
  // or Close().
  bool Open(const std::filesystem::path& path);

  // Appends one chunk of `stream` with the id "NNdc" (video), "NNwb" (audio)
  // or "NNtx" (anything else). `data` may be null when `size` is 0.
  bool WriteChunk(int stream, const uint8_t* data, std::size_t size, bool keyframe = true);

  // Writes idx1 and the trailer, patches sizes and lengths, closes the file.
  // Returns false when anything since Open() failed.
  bool Close();

  const std::string& error() const { return error_; }
  // Bytes of the hdrl list as written (its size field), 0 before the header.
  uint32_t headerListBytes() const { return writtenHeaderListBytes_; }

 private:
  // One chunk of the current RIFF part, for its standard index.
  struct PartEntry {
    uint64_t payloadOffset;
    uint32_t size;
    bool keyframe;
  };
  // One standard index, for the super index.
  struct SuperEntry {
    uint64_t offset;
    uint32_t size;
    uint32_t duration;
  };
  struct StreamState {
    WriterStream spec;
    FourCC chunkId = 0;
    uint32_t chunks = 0;
    uint32_t firstRiffChunks = 0;  // chunks in the first RIFF, once it is closed
    uint64_t bytes = 0;
    uint32_t largestChunk = 0;
    std::vector<PartEntry> part;
    uint64_t partBytes = 0;
    std::vector<SuperEntry> superIndex;
  };
  struct IndexEntry {
    FourCC id;
    uint32_t flags;
    uint32_t offset;  // from the "movi" four-character code
    uint32_t size;
  };

  std::vector<uint8_t> BuildHeader() const;
  bool WriteHeader();
  bool WriteBytes(const void* data, std::size_t size);
  bool PatchLE32(uint64_t offset, uint32_t value);
  // Ends the current RIFF part: standard indexes (OpenDML), idx1 (first
  // part), sizes.
  bool FinishRiff();
  bool StartAvix();
  uint64_t PendingIndexBytes() const;
  bool Fail(std::string message);

  MainHeader main_;
  std::vector<StreamState> streams_;
  std::optional<uint32_t> headerListBytes_;
  std::vector<std::pair<FourCC, std::vector<uint8_t>>> extraChunks_;
  std::vector<uint8_t> trailer_;
  std::optional<uint32_t> declaredStreams_;

  std::FILE* file_ = nullptr;
  std::filesystem::path path_;
  bool headerWritten_ = false;
  bool failed_ = false;
  std::string error_;
  uint32_t writtenHeaderListBytes_ = 0;
  uint64_t moviStart_ = 0;  // file offset of the current part's "movi" four-character code
  uint64_t position_ = 0;   // current end of file
  bool openDml_ = false;
  uint64_t riffLimit_ = kOpenDmlRiffBytes;
  uint32_t riffParts_ = 1;
  uint64_t riffStart_ = 0;  // file offset of the current part's "RIFF"
  uint64_t firstMoviStart_ = 0, firstMoviEnd_ = 0, firstRiffEnd_ = 0;
  bool firstRiffDone_ = false;
  std::vector<IndexEntry> index_;
};

}  // namespace avi
