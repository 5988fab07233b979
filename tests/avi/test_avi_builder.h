#pragma once

// Builds small AVI files in memory for the reader's tests, with the layout
// choices real writers make (idx1 relative or absolute, OpenDML indexes,
// 'rec ' lists, no index) and the offsets of every header so tests can cut or
// corrupt a file at exactly those places.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "avi/avi_format.h"

namespace avitest {

struct TestStream {
  avi::StreamHeader header;
  std::vector<uint8_t> strf;
  std::string name;                                 // written as strn when not empty
  std::size_t strhBytes = avi::kStreamHeaderBytes;  // some writers store 48 or 64
};

enum class TestIndex { kNone, kIdx1Relative, kIdx1Absolute, kOpenDml };

struct TestChunk {
  int stream = 0;
  std::vector<uint8_t> payload;
  bool keyframe = true;
};

struct TestAviSpec {
  std::vector<TestStream> streams;
  std::vector<TestChunk> chunks;  // in file order
  TestIndex index = TestIndex::kIdx1Relative;
  bool recLists = false;             // wrap each chunk in a LIST 'rec '
  std::size_t superIndexCopies = 1;  // OpenDML: how many super index entries name the one ix##
};

struct BuiltAvi {
  std::vector<uint8_t> bytes;
  std::size_t hdrlListOffset = 0;           // of its "LIST" word
  std::size_t moviListOffset = 0;           // of its "LIST" word
  std::size_t idx1Offset = 0;               // of its "idx1" word, 0 when none
  std::vector<std::size_t> strlOffsets;     // of each strl's "LIST" word
  std::vector<std::size_t> indxOffsets;     // of each stream's "indx" word (OpenDML)
  std::vector<std::size_t> ixOffsets;       // of each stream's "ix##" word (OpenDML)
  std::vector<std::size_t> payloadOffsets;  // of each chunk's payload
  std::vector<std::size_t> boundaries;      // every chunk and list start, sorted
};

// A stream header of the given type with rate/scale and length filled in.
avi::StreamHeader MakeStreamHeader(avi::FourCC type, uint32_t rate, uint32_t scale, uint32_t length);
// A video strf (BITMAPINFOHEADER) with the given size and handler.
std::vector<uint8_t> VideoFormat(int width, int height);
// `count` chunks of stream `stream` with distinct, size-varying payloads.
std::vector<TestChunk> DistinctChunks(int stream, int count, std::size_t baseSize);

BuiltAvi BuildTestAvi(const TestAviSpec& spec);

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace avitest
