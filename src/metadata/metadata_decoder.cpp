#include "metadata/metadata_decoder.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "metadata/clock_text.h"
#include "metadata/metadata_sample.h"
#include "metadata/recording_context.h"
#include "metadata/speed_unit.h"
#include "metadata/trigger_names.h"

namespace {

// The two-channel DVR writes its three text lines into the last 128 bytes of
// every frame, in 31-byte slots that end in a NUL.
constexpr std::size_t kTailBytes = 128;
constexpr std::size_t kSlotBytes = 31;
constexpr std::size_t kPlacementAFirstSlot = 0;
constexpr std::size_t kPlacementBFirstSlot = 8;

// Whether the three slots from `firstSlot` on hold text lines: each ends in
// its NUL, what comes before the first NUL of a slot is text (no control
// bytes), and at least one line is not empty. A blank or damaged frame whose
// tail is all zero ends every slot in a NUL too, but holds no line, and must
// not switch a four-channel recording to text lines.
bool TailHoldsTextLines(const uint8_t* tail, std::size_t firstSlot) {
  bool anyText = false;
  for (std::size_t i = 0; i < 3; ++i) {
    const uint8_t* slot = tail + firstSlot + i * kSlotBytes;
    if (slot[kSlotBytes - 1] != 0) return false;
    for (std::size_t n = 0; slot[n] != 0; ++n) {
      if (slot[n] < 0x20 || slot[n] == 0x7F) return false;
      anyText = true;
    }
  }
  return anyText;
}

void FormatCoordinate(int32_t packed, char* out, std::size_t size) {
  std::snprintf(out, size, "%.6f", PackedCoordinateToDegrees(packed));
}

void FormatAcceleration(int8_t raw, char* out, std::size_t size) {
  int r = raw;
  // Readings near 1 g are shown as exactly 1 g and readings near rest as 0;
  // the 1 g snap applies to positive readings only, as the DVR reports them.
  // The raw byte is in tenths of g, and g is what the user reads: 1 g shows
  // as +1.0 (the speed's km-to-mile factor has no place here).
  if (r >= 7 && r <= 13) r = 10;
  if (r >= -3 && r <= 3) r = 0;
  std::snprintf(out, size, "%+2.1f", r / 10.0);
}

}  // namespace

bool FrameHoldsTextLines(const uint8_t* frame, std::size_t length) {
  if (frame == nullptr || length < kTailBytes) return false;
  const uint8_t* tail = frame + length - kTailBytes;
  return TailHoldsTextLines(tail, kPlacementAFirstSlot) || TailHoldsTextLines(tail, kPlacementBFirstSlot);
}

MetadataDecoder::MetadataDecoder(std::string sourceName, DvrLayout dvrKind,
                                 std::shared_ptr<RecordingContext> context)
    : sourceName_(std::move(sourceName)), layout_(dvrKind), context_(std::move(context)) {
  for (auto& slot : listeners_) slot.store(nullptr);
}

MetadataDecoder::~MetadataDecoder() = default;

void MetadataDecoder::SetRecordingContext(std::shared_ptr<RecordingContext> context) {
  std::lock_guard lock(contextMutex_);
  context_ = std::move(context);
}

void MetadataDecoder::PublishDvrType(bool textLines) {
  std::shared_ptr<RecordingContext> context;
  {
    std::lock_guard lock(contextMutex_);
    context = context_;
  }
  if (context) {
    context->SetType(textLines ? RecordingContext::DvrType::kTwoChannel
                               : RecordingContext::DvrType::kUnknown);
  }
}

void MetadataDecoder::SetListener(int slot, CMetadataInterface* listener) {
  if (slot < 0 || slot >= kListenerSlots) return;
  listeners_[slot].store(listener);
}

CMetadataInterface* MetadataDecoder::Listener(int slot) const {
  if (slot < 0 || slot >= kListenerSlots) return nullptr;
  return listeners_[slot].load();
}

void MetadataDecoder::Deliver(int firstSlot, int lastSlot, const char* label, const char* text) {
  for (int slot = firstSlot; slot <= lastSlot; ++slot) {
    if (CMetadataInterface* listener = listeners_[slot].load()) {
      listener->OnMetadata(sourceName_.c_str(), label, text);
    }
  }
}

void MetadataDecoder::ParseMetadataSample(const uint8_t* data, std::size_t length) {
  if (data == nullptr) return;
  std::size_t recordOffset;
  if (length == kMetadataSampleBytes) {
    recordOffset = 0;
  } else if (length >= kFrameMinimumBytes) {
    recordOffset = kFrameMetadataOffset;
  } else {
    return;
  }

  if (TextLines()) {
    DeliverTextLines(data, length);
    return;
  }

  const uint8_t* record = data + recordOffset;
  if (!HasMetadataMagic(record)) {
    // A 56-byte sample has no 128-byte tail, so it can never reveal the
    // text-line layout.
    if (FrameHoldsTextLines(data, length)) layout_.store(DvrLayout::kTwoChannelTextLines);
    PublishDvrType(TextLines());
    return;
  }
  DeliverRecord(record);
}

void MetadataDecoder::DeliverTextLines(const uint8_t* frame, std::size_t length) {
  // A decoder started in text-line mode can still be handed a 56-byte sample
  // (a metadata stream): it has no tail to read lines from.
  if (length < kTailBytes) return;
  const uint8_t* tail = frame + length - kTailBytes;
  const std::size_t first = tail[30] == 0 ? kPlacementAFirstSlot : kPlacementBFirstSlot;

  // Each line is the slot's text up to its NUL; a slot without one is cut
  // after 30 characters so a damaged frame cannot run into the next slot.
  char lines[3][kSlotBytes];
  for (int i = 0; i < 3; ++i) {
    const uint8_t* slot = tail + first + i * kSlotBytes;
    std::size_t n = 0;
    while (n < kSlotBytes - 1 && slot[n] != 0) ++n;
    std::memcpy(lines[i], slot, n);
    lines[i][n] = '\0';
  }
  static constexpr const char* kLabels[3] = {"Line1", "Line2", "Line3"};
  for (int slot = 0; slot <= 1; ++slot) {
    for (int i = 0; i < 3; ++i) Deliver(slot, slot, kLabels[i], lines[i]);
  }
}

void MetadataDecoder::DeliverRecord(const uint8_t* record) {
  const MetadataSample s = UnpackMetadataSample(record);
  const int last = kListenerSlots - 1;
  char text[96];

  Deliver(0, last, "UTC Time", FormatRecorderTime(s.utcSeconds, s.milliseconds).c_str());
  Deliver(0, last, "Local Time", FormatRecorderTime(s.localSeconds, s.milliseconds).c_str());
  std::snprintf(text, sizeof text, "%d", int(s.satellites));
  Deliver(0, last, "GPS Sat Count", text);
  FormatCoordinate(s.latitude, text, sizeof text);
  Deliver(0, last, "Latitude", text);
  FormatCoordinate(s.longitude, text, sizeof text);
  Deliver(0, last, "Longitude", text);
  // In the unit chosen now: a change reaches the next record.
  Deliver(0, last, "Speed", SpeedText(s.speed, DisplaySpeedUnit()).c_str());
  FormatAcceleration(s.accelX, text, sizeof text);
  Deliver(0, last, "X Acceleration", text);
  FormatAcceleration(s.accelY, text, sizeof text);
  Deliver(0, last, "Y Acceleration", text);
  FormatAcceleration(s.accelZ, text, sizeof text);
  Deliver(0, last, "Z Acceleration", text);

  // Names have no length limit, so the text grows as needed.
  std::string triggers;
  if ((s.triggerBits & ((1u << kTriggerCount) - 1)) != 0) {
    const auto names = TriggerNames();
    for (int bit = 0; bit < kTriggerCount; ++bit) {
      if (s.triggerBits & (1u << bit)) {
        triggers += (*names)[bit];
        triggers += ',';
      }
    }
    triggers.pop_back();
  }
  Deliver(0, last, "Triggers", triggers.c_str());
}
