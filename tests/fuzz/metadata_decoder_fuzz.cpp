// Fuzz target: MetadataDecoder::ParseMetadataSample in the binary and the
// text-line variant. The input is handed over as it is, as a 56-byte record
// (its first bytes) and inside a compressed-frame-sized sample (record at
// byte 24, the input's last bytes as the 128-byte tail), so short inputs
// reach the frame paths too. A listener in every slot reads every text and
// checks the delivery rules of metadata_decoder.h.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "metadata/metadata_decoder.h"
#include "metadata/metadata_sample.h"
#include "metadata/recording_context.h"

namespace {

constexpr std::size_t kTailBytes = 128;
constexpr std::size_t kMaxLineChars = 30;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsRecordLabel(const char* label) {
  static constexpr const char* kLabels[] = {
      "UTC Time", "Local Time",     "GPS Sat Count",  "Latitude",       "Longitude",
      "Speed",    "X Acceleration", "Y Acceleration", "Z Acceleration", "Triggers"};
  return std::any_of(std::begin(kLabels), std::end(kLabels),
                     [label](const char* l) { return std::strcmp(l, label) == 0; });
}

bool IsLineLabel(const char* label) {
  return std::strcmp(label, "Line1") == 0 || std::strcmp(label, "Line2") == 0 ||
         std::strcmp(label, "Line3") == 0;
}

class TouchingListener : public CMetadataInterface {
 public:
  void OnMetadata(const char* sourceName, const char* label, const char* text) override {
    Check(sourceName != nullptr && label != nullptr && text != nullptr);
    // Reading every byte up to the NUL is what a sanitizer needs to see an
    // unterminated or freed text.
    const std::size_t length = std::strlen(text);
    for (std::size_t i = 0; i < length; ++i) checksum_ += uint8_t(text[i]);
    checksum_ += std::strlen(sourceName);
    if (IsLineLabel(label)) {
      Check(length <= kMaxLineChars);  // a slot without a NUL is cut after 30 characters
      ++lines_;
    } else {
      Check(IsRecordLabel(label));
      ++records_;
    }
  }

  int lines_ = 0;
  int records_ = 0;
  std::size_t checksum_ = 0;
};

// One sample through `decoder`; every call delivers nothing, the ten record
// texts to all five slots, or the three lines to slots 0 and 1.
void Parse(MetadataDecoder& decoder, TouchingListener (&listeners)[MetadataDecoder::kListenerSlots],
           const uint8_t* data, std::size_t length) {
  for (auto& l : listeners) l.lines_ = l.records_ = 0;
  decoder.ParseMetadataSample(data, length);
  const int lines = listeners[0].lines_;
  const int records = listeners[0].records_;
  Check(lines == 0 || records == 0);
  Check(lines == 0 || lines == 3);
  Check(records == 0 || records == 10);
  Check(listeners[1].lines_ == lines);
  for (int slot = 1; slot < MetadataDecoder::kListenerSlots; ++slot)
    Check(listeners[slot].records_ == records);
  for (int slot = 2; slot < MetadataDecoder::kListenerSlots; ++slot) Check(listeners[slot].lines_ == 0);
  // Lengths the decoder ignores deliver nothing.
  if (length != kMetadataSampleBytes && length < kFrameMinimumBytes) Check(lines == 0 && records == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // The 56-byte record view, and a frame-sized sample built around the input.
  std::vector<uint8_t> record(kMetadataSampleBytes, 0);
  std::copy_n(data, std::min(size, record.size()), record.begin());
  std::vector<uint8_t> frame(std::max(size, kFrameMinimumBytes), 0);
  if (size >= kFrameMinimumBytes) {
    std::copy_n(data, size, frame.begin());
  } else {
    std::copy_n(record.begin(), record.size(), frame.begin() + kFrameMetadataOffset);
    const std::size_t tail = std::min(size, kTailBytes);
    std::copy_n(data + size - tail, tail, frame.end() - std::ptrdiff_t(tail));
  }

  TouchingListener listeners[MetadataDecoder::kListenerSlots];
  for (DvrLayout dvrKind : {DvrLayout::kFourChannel, DvrLayout::kTwoChannelTextLines}) {
    auto context = std::make_shared<RecordingContext>();
    MetadataDecoder decoder("Fuzz", dvrKind, context);
    for (int slot = 0; slot < MetadataDecoder::kListenerSlots; ++slot)
      decoder.SetListener(slot, &listeners[slot]);
    // Exact length: the parser must never read past it, which only holds
    // when the bytes sit in a buffer of exactly that size.
    std::vector<uint8_t> exact(data, data + size);
    Parse(decoder, listeners, exact.empty() ? nullptr : exact.data(), exact.size());
    Parse(decoder, listeners, record.data(), record.size());
    Parse(decoder, listeners, frame.data(), frame.size());
    // A frame can switch a binary decoder to text lines: the record again
    // goes through the other variant then.
    Parse(decoder, listeners, record.data(), record.size());
    Parse(decoder, listeners, frame.data(), frame.size());
    if (IsTwoChannel(dvrKind)) Check(decoder.TextLines());
    // Only a frame that switched the layout reports a two-channel DVR.
    const RecordingContext::DvrType type = context->Type();
    if (type == RecordingContext::DvrType::kTwoChannel) Check(!IsTwoChannel(dvrKind) && decoder.TextLines());
    Check(type != RecordingContext::DvrType::kFourChannel);
  }
  return 0;
}
