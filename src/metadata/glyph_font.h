#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// A font rasterised once into coverage tables, so that drawing text into a
// frame needs no window-system call on a streaming thread. Immutable once
// made: any number of threads may draw with one font at the same time.
//
// Pixels are 4 bytes (blue, green, red, fourth byte); a colour 0x00RRGGBB is
// applied low byte to byte 0, so every byte of the pixel is blended:
// new = trunc(old × (1 − c) + colourByte × c) for coverage c in 0..1.
// Coverage is kept in steps of 1/255, the resolution the rasteriser measures
// it in, so the blend runs exactly in integers.
class GlyphFont {
 public:
  static constexpr int kFirstChar = 32;  // blank
  static constexpr int kLastChar = 126;  // '~'
  static constexpr int kGlyphCount = kLastChar - kFirstChar + 1;

  struct Glyph {
    int width = 0;
    int height = 0;
    std::vector<double> coverage;  // width × height, row 0 = top of the glyph
  };

  // `glyphs` holds kGlyphCount entries for the characters 32..126; missing
  // entries or tables of the wrong size become empty glyphs.
  explicit GlyphFont(std::vector<Glyph> glyphs);

  // Draws `text` with its pen starting at column x and returns the pen's
  // advance in pixels (glyph width + 3 per drawn character); 0 when `buffer`
  // is null. Characters outside 32..126 are skipped without advancing.
  //
  // topDown true: `buffer` holds its top row first and the text occupies rows
  // y .. y + glyph height − 1. topDown false: `buffer` holds its bottom row
  // first, y counts screen rows from the top, and the text occupies the
  // screen rows y − glyph height .. y − 1 (y is the row just below it).
  // Pixels outside the buffer are clipped. Any thread.
  int DrawString(int x, int y, std::string_view text, bool topDown, uint8_t* buffer, int width, int height,
                 uint32_t colour) const;

  // The picture DrawString(x, y, text, false, …) makes on a bottom-up
  // buffer, drawn into a TOP-DOWN buffer: each glyph's bottom row lands on
  // screen row y − 1. This is how overlays draw into GStreamer frames.
  int DrawStringAbove(int x, int y, std::string_view text, uint8_t* buffer, int width, int height,
                      uint32_t colour) const;

  // Height of the tallest glyph cell (every glyph of a rasterised font has
  // the font's line height).
  int CellHeight() const { return cellHeight_; }
  const Glyph& GlyphOf(char c) const;

  // Called once per frame after its strings; draws nothing (a hook kept so
  // callers mark the end of a frame the same way for every font).
  void EndFrame() const {}

 private:
  enum class Placement { kTopDown, kBottomUp, kAbove };
  int Draw(Placement placement, int x, int y, std::string_view text, uint8_t* buffer, int width, int height,
           uint32_t colour) const;

  // Coverage as levels 0..255, and per row the columns [first, end) that
  // hold any ink, so drawing touches only pixels under the glyph.
  struct Levels {
    std::vector<uint8_t> level;
    std::vector<uint16_t> inkBegin, inkEnd;
  };

  std::vector<Glyph> glyphs_;
  std::vector<Levels> levels_;
  int cellHeight_ = 0;
};

// The process-wide fonts. They are created once (by the main window's first
// paint, through the Qt rasteriser in metadata/qt) and live until the
// process ends; until then both accessors return null and overlays draw
// nothing. Installing is thread-safe; only the first install takes effect
// (later calls return false and drop their fonts).
bool InstallGlyphFonts(std::unique_ptr<GlyphFont> small, std::unique_ptr<GlyphFont> large);
const GlyphFont* SmallGlyphFont();
const GlyphFont* LargeGlyphFont();
