#pragma once

// Redactions: shapes drawn over one camera's picture to hide what must not
// leave the examiner's hands (faces, plates). Each shape has keyframes, its
// place at chosen times; between two keyframes it moves and resizes
// linearly, and it lasts from its first keyframe to its last, both included.
// Places are fractions of the picture (0..1 from the top left), so a list
// applies at any decoded size.
//
// Applied to derived pictures only (video exports, report pictures), never
// to the recording, a byte-exact clip or a snapshot of the original.
//
// The fills: solid black, or a pixelation too coarse to undo: blocks of at
// least kMinPixelBlock pixels and no more than kMaxBlocksAcross across the
// shape, on a grid fixed to the picture (a moving shape gives no shifted
// samples), each block one colour, its mean rounded to kPixelLevels levels.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace redaction {

enum class Shape { kRectangle, kEllipse };
enum class Fill { kSolid, kPixelate };

inline constexpr int kMinPixelBlock = 16;
inline constexpr int kMaxBlocksAcross = 8;
inline constexpr int kPixelLevels = 16;

struct Box {
  double x = 0, y = 0, width = 0, height = 0;  // fractions of the picture
  bool operator==(const Box&) const = default;
};

struct Keyframe {
  int64_t centis = 0;  // on the recording's timeline
  Box box;
};

struct Redaction {
  int camera = 0;  // 0..3
  Shape shape = Shape::kRectangle;
  Fill fill = Fill::kSolid;
  std::vector<Keyframe> keys;  // by time, one per time
};

struct RedactionList {
  std::vector<Redaction> items;
};

// Puts `key` in time order; a keyframe at the same time is replaced.
void SetKeyframe(Redaction& redaction, const Keyframe& key);

// The shape's place at `centis`, or none outside its first..last keyframe.
std::optional<Box> PlaceAt(const Redaction& redaction, int64_t centis);

// The pixels a box covers in a width × height picture: [x0, x1) × [y0, y1),
// clipped to the picture (empty when it lies outside).
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
};
PixelRect ToPixels(const Box& box, int width, int height);

// The pixelation's block side for a shape of `rect`'s size.
int PixelBlock(const PixelRect& rect);

// Draws one shape with its fill onto top-down BGRx rows.
void Rasterise(uint8_t* bgrx, int width, int height, int strideBytes, Shape shape, Fill fill, const Box& box);

// Draws every shape of `list` on `camera` (0..3) present at `centis` onto
// the picture; returns how many were drawn.
int ApplyRedactions(uint8_t* bgrx, int width, int height, int strideBytes, int camera, int64_t centis,
                    const RedactionList& list);

// True when some shape of `camera` exists at any time.
bool HasCamera(const RedactionList& list, int camera);

// The list as JSON (cameras numbered from 1, as on the command line), and
// back. Reading is strict about what it uses and ignores what it does not
// know; bad input gives false and a one-line reason.
std::string ToJson(const RedactionList& list);
bool FromJson(const std::string& text, RedactionList& list, std::string& error);

}  // namespace redaction
