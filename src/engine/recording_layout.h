#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "metadata/dvr_layout.h"

// Recognising what a recording holds before its pipeline is built: the DVR
// family from the header bytes, the H264 marker, and which demuxer pad is the
// video, audio or metadata of which channel.

// How many header bytes DetectDvrKindFromHeader looks at.
inline constexpr std::size_t kDvrKindHeaderBytes = 70;
// The H264 marker is searched in the first kH264ProbeBytes of files longer
// than that, at offsets 0 .. kH264ProbeBytes - 11.
inline constexpr std::size_t kH264ProbeBytes = 1000;

// From the first bytes of a file (little-endian; offset 16 is the header list
// size, 64 and 68 the low halves of the main header's width and height).
// Bytes beyond `size` count as zero, so a short file is four-channel.
DvrLayout DetectDvrKindFromHeader(const uint8_t* bytes, std::size_t size);
// Four-channel when the file cannot be opened.
DvrLayout DetectDvrKind(const std::filesystem::path& path);

// `bytes` are the first bytes of a file of `fileSize` bytes.
bool DetectH264InHeader(const uint8_t* bytes, std::size_t size, uint64_t fileSize);
// false when the file cannot be opened or has 1,000 bytes or fewer.
bool DetectH264(const std::filesystem::path& path);

// --- Pin (pad) rules -------------------------------------------------------
//
// The demuxer's output pads carry the names "Stream 00" … "Stream 08" (even:
// video of channel n/2, odd: audio, 08: the metadata stream); other demuxers'
// names with "Camera", "Video", "Audio" are recognised too.

enum class PinDirection { kInput, kOutput };

// What FindPin is asked for.
inline constexpr int kAnyStream = 0;
inline constexpr int kVideoStream = 1;
inline constexpr int kAudioStream = 2;
inline constexpr int kMetadataStream = 3;

struct PinDescription {
  PinDirection direction = PinDirection::kOutput;
  std::string name;  // single-byte text
};

// Whether a pad named `name` carries `streamType` (1 video, 2 audio,
// 3 metadata; kAnyStream matches every name).
bool PinMatchesStreamType(const std::string& name, int streamType);

// Whether every channel rule that applies to `name` gives `channel` (0..3).
// A name that no rule applies to matches every channel.
bool PinMatchesChannel(const std::string& name, int channel);

// The channel (0..3) the channel rules give `name`, or -1 when no rule
// applies, the rules disagree or the result is outside 0..3 ("Stream 08").
int PinChannel(const std::string& name);

// The pin name of AVI stream `streamIndex`: the name stored with the stream
// (its strn) when it has one, otherwise "Stream NN" of its index
// ("Stream 05"), as the recorders' splitter names its pins.
std::string StreamPinName(int streamIndex, const std::string& storedName = {});

// The position in `pins` of the pin that matches, or -1. Pins of another
// direction are skipped. With `byChannel`, `index` is the channel (0..3) and
// the first pin of that type and channel is returned; otherwise `index`
// counts the matching pins (0 = the first).
int FindPin(const std::vector<PinDescription>& pins, PinDirection direction, int index, int streamType,
            bool byChannel);
