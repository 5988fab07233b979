#include "metadata/overlay_filter.h"

#include <cstring>
#include <new>

#include "metadata/deinterlace.h"
#include "metadata/glyph_font.h"
#include "metadata/process_lock.h"
#include "metadata/stereo_mix.h"
#include "snapshot/snapshot_image.h"

COverlayFilter::COverlayFilter(std::string name, int role, int dvrKind)
    : name_(std::move(name)),
      role_(role),
      dvrKind_(dvrKind),
      decoder_(name_, dvrKind),
      texts_(InitialOverlayTexts()) {
  if (role_ == 1) {
    // A failed allocation only costs the snapshots of this channel.
    frameCopy_.reset(new (std::nothrow) uint8_t[kFrameCopyBytes]);
  }
}

COverlayFilter::~COverlayFilter() {
  ReleaseFrameCopy();
}

bool COverlayFilter::VideoFrameSize(std::size_t len, int dvrKind, int& width, int& height,
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
      s = dvrKind == 3 ? Size{640, 240, false} : Size{320, 480, false};
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

void COverlayFilter::Transform(uint8_t* data, std::size_t len) {
  if (data == nullptr) return;
  switch (role_) {
    case 0:
    case 3:
      decoder_.ParseMetadataSample(data, len);
      break;
    case 1: {
      int width = 0, height = 0;
      bool deinterlace = false;
      if (VideoFrameSize(len, DvrKind(), width, height, deinterlace))
        TransformFrame(data, len, width, height, deinterlace);
      break;
    }
    case 2:
      if (stereoOn_) MixStereoPairs(data, len, gainA_, gainB_);
      break;
    default:
      break;
  }
}

void COverlayFilter::TransformVideo(uint8_t* data, std::size_t len, int width, int height) {
  if (data == nullptr || role_ != 1) return;
  int w = 0, h = 0;
  bool deinterlace = false;
  if (VideoFrameSize(len, DvrKind(), w, h, deinterlace) && w == width && h == height)
    TransformFrame(data, len, w, h, deinterlace);
}

void COverlayFilter::TransformFrame(uint8_t* data, std::size_t len, int width, int height, bool deinterlace) {
  if (deinterlace) FastDeinterlaceFrame(data, width, height, fastDeinterlace_);

  const GlyphFont* small = SmallGlyphFont();
  const GlyphFont* large = LargeGlyphFont();
  const TextLineSwitches switches{overlayOn_, timeLinesOn_, gpsLinesOn_};
  if (small != nullptr && large != nullptr && switches.overlayOn) {
    {
      // Copy out under the lock (assignment reuses the strings' storage), so
      // the extractors may replace texts while this frame is drawn.
      std::lock_guard<std::mutex> hold(textsLock_);
      drawnTexts_ = texts_;
    }
    DrawMetadataLines(data, width, height, drawnTexts_, switches, DvrKind(), small, large);
  }

  std::lock_guard<std::mutex> hold(ProcessLock());
  if (frameCopy_ && len <= kFrameCopyBytes) {
    std::memcpy(frameCopy_.get(), data, len);
    // Set with the bytes under the same lock, so a snapshot never pairs one
    // frame's bytes with another frame's size.
    copyWidth_ = width;
    copyHeight_ = height;
  }
}

void COverlayFilter::OnMetadata(const char* /*sourceName*/, const char* label, const char* text) {
  const int index = OverlayTextIndexOf(label);
  if (index < 0) return;
  {
    std::lock_guard<std::mutex> hold(textsLock_);
    texts_[index] = text != nullptr ? text : "";
  }
  if (index >= kTextLine1) {
    int expected = 0;
    dvrKind_.compare_exchange_strong(expected, 1);
  }
}

void COverlayFilter::SetGains(int gainA, int gainB) {
  gainA_ = gainA;
  gainB_ = gainB;
}

void COverlayFilter::SetListener0(CMetadataInterface* listener) {
  decoder_.SetListener(0, listener);
}

void COverlayFilter::SetListener1(CMetadataInterface* listener) {
  decoder_.SetListener(1, listener);
  for (int slot = 2; slot < kListenerSlots; ++slot) decoder_.SetListener(slot, nullptr);
}

void COverlayFilter::SetListeners1to4(CMetadataInterface* l1, CMetadataInterface* l2, CMetadataInterface* l3,
                                      CMetadataInterface* l4) {
  decoder_.SetListener(1, l1);
  decoder_.SetListener(2, l2);
  decoder_.SetListener(3, l3);
  decoder_.SetListener(4, l4);
}

CMetadataInterface* COverlayFilter::Listener(int slot) const {
  return decoder_.Listener(slot);
}

int COverlayFilter::DvrKind() const {
  // The extractor's decoder owns the text-line flag of its channel.
  return (role_ == 0 || role_ == 3) ? decoder_.TextLineFlag() : dvrKind_.load();
}

OverlayTexts COverlayFilter::Texts() const {
  std::lock_guard<std::mutex> hold(textsLock_);
  return texts_;
}

void COverlayFilter::CopySize(int& width, int& height) const {
  std::lock_guard<std::mutex> hold(ProcessLock());
  width = copyWidth_;
  height = copyHeight_;
}

void COverlayFilter::ReleaseFrameCopy() {
  std::unique_ptr<uint8_t[]> freed;
  std::lock_guard<std::mutex> hold(ProcessLock());
  freed = std::move(frameCopy_);
  copyWidth_ = 0;
  copyHeight_ = 0;
}

bool COverlayFilter::SaveSnapshot(const std::string& path) const {
  std::vector<uint8_t> image;
  int width = 0, rows = 0;
  {
    // Build the image under the lock, write the file outside it: the
    // streaming thread waits only for one conversion, never for the disk.
    std::lock_guard<std::mutex> hold(ProcessLock());
    if (!frameCopy_ || copyWidth_ <= 0 || copyHeight_ <= 0) return false;
    image = BuildSnapshotImage(frameCopy_.get(), copyWidth_, copyHeight_, DvrKind() == 3);
    width = copyWidth_;
    rows = DvrKind() == 3 ? 2 * copyHeight_ : copyHeight_;
  }
  return WriteJpegFile(path.c_str(), image.data(), width, rows, 75);
}
