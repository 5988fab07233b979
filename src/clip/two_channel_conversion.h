#pragma once

// Rewriting "original 2 channel" recordings: the first two streams of the
// file (its video and its audio) are copied chunk for chunk into a fresh AVI
// file beside it, the copy is read back and compared with the source, and
// only then does it replace the source, by a rename. A failed, cancelled or
// unverifiable conversion leaves the source exactly as it was.
//
// Runs on the conversion worker thread; `cancel` is looked at before every
// chunk.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace clip {

// The original 2 channel test on the file's first bytes: the header list
// size's low 16 bits are 380 (bytes 16, 17 = 0x7C, 0x01), and the frame
// height's low byte is 0xE0 (offset 68) or the width's low byte is 0x80 or
// 0x40 (offset 64). False for a file that can't be read.
bool IsOriginalTwoChannel(const std::string& path);
bool IsOriginalTwoChannelHeader(const uint8_t* bytes, std::size_t size);

enum class ConvertStatus { kConverted, kCancelled, kSourceError, kWriteError, kReplaceError };

struct ConvertOutcome {
  ConvertStatus status = ConvertStatus::kConverted;
  std::string message;  // the user's message; empty when converted or cancelled
  std::string detail;   // one line: the file and the reason
};

// File progress 0..1000 while `fraction` (0..1) of the file is done: four
// per thousandth, held at 999 until the file is done.
int ConversionProgress(double fraction);

// Converts `path` in place; `progress` receives ConversionProgress values.
ConvertOutcome ConvertFile(const std::string& path, const std::atomic<bool>& cancel,
                           const std::function<void(int)>& progress = {});

}  // namespace clip
