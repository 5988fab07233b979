#include "metadata/overlay_filter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "metadata/deinterlace.h"
#include "metadata/glyph_font.h"
#include "metadata/stereo_mix.h"
#include "snapshot/snapshot_image.h"

COverlayFilter::COverlayFilter(std::string name, FilterRole role, DvrLayout dvrKind)
    : name_(std::move(name)),
      role_(role),
      dvrKind_(dvrKind),
      context_(std::make_shared<RecordingContext>()),
      decoder_(name_, dvrKind, context_),
      texts_(InitialOverlayTexts()) {
  for (SlotForwarder& f : forwarders_) f.Bind(this);
}

COverlayFilter::~COverlayFilter() {
  ReleaseFrameCopy();
}

bool COverlayFilter::VideoFrameSize(std::size_t len, DvrLayout dvrKind, int& width, int& height,
                                    bool& deinterlace) {
  struct Size {
    int width, height;
    bool deinterlace;
  };
  Size s{0, 0, false};
  switch (len) {
    case 307200:
      s = {320, 240, false};
      break;
    case 614400:
      s = dvrKind == DvrLayout::kTwoChannelWide ? Size{640, 240, false} : Size{320, 480, false};
      break;
    case 1658880:
      s = {720, 576, true};
      break;
    case 1382400:
      s = {720, 480, true};
      break;
    case 1228800:
      s = {640, 480, true};
      break;
    case 414720:
      s = {360, 288, false};
      break;
    case 345600:
      s = {360, 240, false};
      break;
    default:
      return false;
  }
  width = s.width;
  height = s.height;
  deinterlace = s.deinterlace;
  return true;
}

void COverlayFilter::SetContext(std::shared_ptr<RecordingContext> context) {
  if (!context) return;
  decoder_.SetRecordingContext(context);
  context_ = std::move(context);
}

void COverlayFilter::Transform(uint8_t* data, std::size_t len, int64_t timeNs) {
  if (data == nullptr) return;
  switch (role_) {
    case FilterRole::kExtractor:
    case FilterRole::kMulti:
      // The forwarders read the time while the decoder delivers, on this thread.
      sampleTime_.store(timeNs, std::memory_order_relaxed);
      decoder_.ParseMetadataSample(data, len);
      sampleTime_.store(kNoTime, std::memory_order_relaxed);
      break;
    case FilterRole::kOverlay: {
      int width = 0, height = 0;
      bool deinterlace = false;
      if (VideoFrameSize(len, DvrKind(), width, height, deinterlace))
        TransformFrame(data, len, width, height, deinterlace, timeNs == kNoTime ? kNoTime : timeNs + 1,
                       nullptr);
      break;
    }
    case FilterRole::kAudio:
      if (stereoOn_) MixStereoPairs(data, len, gainA_, gainB_);
      break;
  }
}

void COverlayFilter::TransformVideo(uint8_t* data, std::size_t len, int width, int height,
                                    int64_t dueBeforeNs, const std::function<HeldFrame()>& held,
                                    bool deinterlaced) {
  if (data == nullptr || role_ != FilterRole::kOverlay) return;
  int w = 0, h = 0;
  bool deinterlace = false;
  if (VideoFrameSize(len, DvrKind(), w, h, deinterlace) && w == width && h == height)
    TransformFrame(data, len, w, h, deinterlace && !deinterlaced, dueBeforeNs, held ? &held : nullptr);
}

void COverlayFilter::TransformFrame(uint8_t* data, std::size_t len, int width, int height, bool deinterlace,
                                    int64_t dueBeforeNs, const std::function<HeldFrame()>* held) {
  if (deinterlace) FastDeinterlaceFrame(data, width, height, fastDeinterlace_);

  const GlyphFont* small = SmallGlyphFont();
  const GlyphFont* large = LargeGlyphFont();
  const TextLineSwitches switches{overlayOn_, timeLinesOn_, gpsLinesOn_};
  {
    // Texts come due even while nothing is drawn, so switching the overlay
    // on shows the frame's own texts. Copy out under the lock (assignment
    // reuses the strings' storage): extractors may deliver while we draw.
    std::lock_guard<std::mutex> hold(textsLock_);
    while (!pending_.empty() && (dueBeforeNs == kNoTime || pending_.front().timeNs < dueBeforeNs)) {
      ApplyPending(pending_.front());
      pending_.pop_front();
    }
    drawnUntil_ = dueBeforeNs;
    if (switches.overlayOn) drawnTexts_ = texts_;
  }
  if (small != nullptr && large != nullptr && switches.overlayOn)
    DrawMetadataLines(data, width, height, drawnTexts_, switches, DvrKind(), small, large);

  KeepFrame(data, len, width, height, held);
}

void COverlayFilter::KeepFrame(const uint8_t* data, std::size_t len, int width, int height,
                               const std::function<HeldFrame()>* held) {
  // Taken before the lock: a reference costs no copy, and the frame the
  // previous one replaces is let go of after it.
  HeldFrame next = held ? (*held)() : nullptr;
  if (next && next.get() != data) next = nullptr;
  std::lock_guard<std::mutex> hold(context_->FrameLock());
  if (!keepFrames_) return;
  if (next) {
    next.swap(heldFrame_);
  } else {
    heldFrame_ = nullptr;
    // A failed allocation only costs the snapshots of this channel.
    if (!frameCopy_) frameCopy_.reset(new (std::nothrow) uint8_t[kFrameCopyBytes]);
    if (!frameCopy_ || len > kFrameCopyBytes) {
      copyWidth_ = copyHeight_ = 0;
      return;
    }
    std::memcpy(frameCopy_.get(), data, len);
  }
  // Set with the bytes under the same lock, so a snapshot never pairs one
  // frame's bytes with another frame's size.
  copyWidth_ = width;
  copyHeight_ = height;
}

void COverlayFilter::OnMetadata(const char* sourceName, const char* label, const char* text) {
  OnTimedMetadata(sourceName, label, text, kNoTime);
}

void COverlayFilter::OnTimedMetadata(const char* /*sourceName*/, const char* label, const char* text,
                                     int64_t timeNs) {
  const int index = OverlayTextIndexOf(label);
  if (index < 0) return;
  const std::string value = text != nullptr ? text : "";
  std::lock_guard<std::mutex> hold(textsLock_);
  // A text for a frame already drawn is late: it holds from now on.
  if (timeNs == kNoTime || (drawnUntil_ != kNoTime && timeNs < drawnUntil_)) {
    StoreText(index, value);
    return;
  }
  // One set per sample time: a record's ten texts share it. Samples arrive
  // in time order per extractor, so the search rarely leaves the back.
  auto at = std::find_if(pending_.rbegin(), pending_.rend(), [&](const PendingTexts& p) {
              return p.timeNs <= timeNs;
            }).base();
  if (at != pending_.begin() && std::prev(at)->timeNs == timeNs) {
    std::prev(at)->texts[index] = value;
    return;
  }
  at = pending_.insert(at, PendingTexts{timeNs, {}});
  at->texts[index] = value;
  if (pending_.size() > kMaxPendingTextSets) {
    ApplyPending(pending_.front());
    pending_.pop_front();
  }
}

void COverlayFilter::StoreText(int index, const std::string& text) {
  texts_[index] = text;
  if (index >= kTextLine1) {
    DvrLayout expected = DvrLayout::kFourChannel;
    dvrKind_.compare_exchange_strong(expected, DvrLayout::kTwoChannelTextLines);
  }
}

void COverlayFilter::ApplyPending(const PendingTexts& set) {
  for (int i = 0; i < kOverlayTextCount; ++i)
    if (set.texts[i]) StoreText(i, *set.texts[i]);
}

void COverlayFilter::ClearPendingTexts() {
  std::lock_guard<std::mutex> hold(textsLock_);
  pending_.clear();
  drawnUntil_ = kNoTime;
}

std::size_t COverlayFilter::PendingTextSets() const {
  std::lock_guard<std::mutex> hold(textsLock_);
  return pending_.size();
}

void COverlayFilter::SlotForwarder::OnMetadata(const char* sourceName, const char* label, const char* text) {
  CMetadataInterface* to = target.load();
  if (to == nullptr) return;
  const int64_t time = owner_->sampleTime_.load(std::memory_order_relaxed);
  if (auto* timed = dynamic_cast<CTimedMetadataInterface*>(to); timed != nullptr && time != kNoTime)
    timed->OnTimedMetadata(sourceName, label, text, time);
  else
    to->OnMetadata(sourceName, label, text);
}

void COverlayFilter::SetGains(int gainA, int gainB) {
  gainA_ = gainA;
  gainB_ = gainB;
}

void COverlayFilter::SetSlot(int slot, CMetadataInterface* listener) {
  forwarders_[slot].target.store(listener);
  // An empty slot stays empty in the decoder, which skips it.
  decoder_.SetListener(slot, listener != nullptr ? &forwarders_[slot] : nullptr);
}

void COverlayFilter::SetListener0(CMetadataInterface* listener) {
  SetSlot(0, listener);
}

void COverlayFilter::SetListener1(CMetadataInterface* listener) {
  SetSlot(1, listener);
  for (int slot = 2; slot < kListenerSlots; ++slot) SetSlot(slot, nullptr);
}

void COverlayFilter::SetListeners1to4(CMetadataInterface* l1, CMetadataInterface* l2, CMetadataInterface* l3,
                                      CMetadataInterface* l4) {
  SetSlot(1, l1);
  SetSlot(2, l2);
  SetSlot(3, l3);
  SetSlot(4, l4);
}

CMetadataInterface* COverlayFilter::Listener(int slot) const {
  if (slot < 0 || slot >= kListenerSlots) return nullptr;
  return forwarders_[std::size_t(slot)].target.load();
}

DvrLayout COverlayFilter::DvrKind() const {
  // The extractor's decoder owns the text-line flag of its channel.
  return (role_ == FilterRole::kExtractor || role_ == FilterRole::kMulti) ? decoder_.Layout()
                                                                          : dvrKind_.load();
}

OverlayTexts COverlayFilter::Texts() const {
  std::lock_guard<std::mutex> hold(textsLock_);
  return texts_;
}

void COverlayFilter::CopySize(int& width, int& height) const {
  std::lock_guard<std::mutex> hold(context_->FrameLock());
  width = copyWidth_;
  height = copyHeight_;
}

void COverlayFilter::ReleaseFrameCopy() {
  std::unique_ptr<uint8_t[]> freed;
  HeldFrame let;
  std::lock_guard<std::mutex> hold(context_->FrameLock());
  keepFrames_ = false;
  freed = std::move(frameCopy_);
  let = std::move(heldFrame_);
  copyWidth_ = 0;
  copyHeight_ = 0;
}

bool COverlayFilter::SnapshotImage(std::vector<uint8_t>& rgb, int& width, int& rows) const {
  rgb.clear();
  width = rows = 0;
  // Built under the lock, written outside it by the caller: the streaming
  // thread waits only for one conversion, never for the disk.
  std::lock_guard<std::mutex> hold(context_->FrameLock());
  const uint8_t* frame = heldFrame_ ? heldFrame_.get() : frameCopy_.get();
  if (!frame || copyWidth_ <= 0 || copyHeight_ <= 0) return false;
  rgb = BuildSnapshotImage(frame, copyWidth_, copyHeight_, DvrKind() == DvrLayout::kTwoChannelWide);
  width = copyWidth_;
  rows = DvrKind() == DvrLayout::kTwoChannelWide ? 2 * copyHeight_ : copyHeight_;
  return !rgb.empty();
}

bool COverlayFilter::SaveSnapshot(const std::string& path) const {
  std::vector<uint8_t> image;
  int width = 0, rows = 0;
  if (!SnapshotImage(image, width, rows)) return false;
  return WriteJpegFile(path.c_str(), image.data(), width, rows, 75);
}
