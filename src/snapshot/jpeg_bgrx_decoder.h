#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Decodes Motion-JPEG frames straight into top-down BGRx rows with
// libjpeg-turbo, so no colour conversion pass follows the decode. Used by the
// playback decoder element; plain C++ so tests reach it without a pipeline.
//
// Output layout: `height` rows `strideBytes` apart, each `width` × 4 bytes
// blue, green, red, X (X is written, its value is not meaningful).
//
// Picture quality: the chroma is upsampled by replication merged into the
// colour conversion (libjpeg-turbo's fastest path for the cameras' 4:2:0 and
// 4:2:2 pictures). Pictures compressed at quality 85 or below go through the
// fast integer IDCT, which libjpeg-turbo finds imperceptibly different at
// those qualities and about a tenth faster; finer pictures keep the accurate
// one, where the fast one would lose detail. Pixels differ from libjpeg's
// default decode by a few levels at colour edges only.
//
// Threads: one decoder per streaming thread; an object is not shared.
// Errors never escape: a libjpeg error ends the call with a result code and
// leaves the decoder ready for the next frame.
class JpegBgrxDecoder {
 public:
  enum class Result {
    kOk,
    kNotJpeg,       // no readable JPEG header
    kCorrupt,       // the header was read but the picture is damaged or cut short
    kSizeMismatch,  // the picture is not width × height: nothing was written
    kBadTarget,     // null target, stride below width × 4, or capacity too small
    kTooLarge,      // more than kJpegMaxPixels (jpeg_file.h)
  };

  JpegBgrxDecoder();
  ~JpegBgrxDecoder();
  JpegBgrxDecoder(const JpegBgrxDecoder&) = delete;
  JpegBgrxDecoder& operator=(const JpegBgrxDecoder&) = delete;

  // Reads the frame's header only. kOk with the picture's size, else kNotJpeg
  // or kTooLarge (sizes set to 0).
  Result ReadSize(const uint8_t* data, std::size_t length, int& width, int& height);

  // Decodes `data` into `target`, which holds `capacity` bytes laid out as
  // above. The picture must be exactly width × height; any other size is
  // refused before a byte is written, so a frame that differs from the
  // negotiated format never writes past the buffer. On kCorrupt the rows
  // already decoded stay in `target` (the caller drops the frame).
  //
  // `rowsDone`, when given, is called as rows come out, with the number of
  // top rows complete so far (the last call with `height`), so that a pass
  // over the rows can follow the decode while they are still in the cache.
  // It must not throw.
  //
  // `scaleDenom` 2, 4 or 8 decodes at that fraction of the picture's size
  // through libjpeg-turbo's reduced inverse DCT (far less work than a full
  // decode and a scale); width × height must then be ReducedJpegSize's.
  using RowsDone = std::function<void(int rows)>;
  Result Decode(const uint8_t* data, std::size_t length, uint8_t* target, std::size_t capacity, int width,
                int height, int strideBytes, const RowsDone& rowsDone = nullptr, int scaleDenom = 1);

  // libjpeg's message for the last kNotJpeg or kCorrupt result, "" otherwise.
  const std::string& LastError() const { return lastError_; }

  // libjpeg's objects, defined in the .cpp only.
  struct State;

 private:
  std::unique_ptr<State> state_;
  std::string lastError_;
};

// The size a width × height picture decodes to at 1/`scaleDenom` (1, 2, 4
// or 8): each side divided, rounded up, as libjpeg-turbo does.
void ReducedJpegSize(int width, int height, int scaleDenom, int& outWidth, int& outHeight);

// The largest reduction (8, 4 or 2; 1 for none) at which a width × height
// picture still has at least `shownWidth` × `shownHeight` pixels, so the
// picture is only ever scaled down for the screen; 1 when either shown
// side is 0 or less (no display size known: the full frame).
int ReducedJpegScale(int width, int height, int shownWidth, int shownHeight);

// What a width × height picture shown at shownWidth × shownHeight is
// decoded to: the reduction ReducedJpegScale allows, then, where the shown
// size is smaller still on a side, exactly the shown size (scaled down
// smoothly from the reduced decode, BgrxScaler; to half of it at most), so
// the screen gets the pixels it shows, never fewer. The full picture when
// no shown size is known.
struct ShownJpegSize {
  int scaleDenom = 1;                       // of the inverse DCT: 1, 2, 4 or 8
  int decodedWidth = 0, decodedHeight = 0;  // at 1/scaleDenom
  int width = 0, height = 0;                // handed on: at most the decoded size
  bool Scaled() const { return width != decodedWidth || height != decodedHeight; }
};
ShownJpegSize ChooseShownJpegSize(int width, int height, int shownWidth, int shownHeight);

// A short text for a result ("corrupt JPEG data", …) for log and bus messages.
const char* JpegBgrxResultText(JpegBgrxDecoder::Result result);

// The IJG quality (1..100) whose standard luminance table is as coarse as
// `table` (a picture's first quantization table, any coefficient order).
int EstimatedJpegQuality(const uint16_t (&table)[64]);
// Up to this estimated quality the fast IDCT is used.
inline constexpr int kFastIdctMaxQuality = 85;
