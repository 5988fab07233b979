#pragma once

#include <memory>

#include "metadata/glyph_font.h"

// Rasterises "Arial" (fontconfig resolves it to Liberation Sans) into the
// coverage tables of a GlyphFont: small = 12 px, light (weight 300);
// large = 22 px, bold (weight 700). Each printable character is drawn white
// on black into a cell of its advance width × the font's line height, and
// coverage = red / 255.
//
// Needs a QGuiApplication (QT_QPA_PLATFORM=offscreen is enough); call from
// the thread that owns it. Drawing with the result needs no Qt at all.
std::unique_ptr<GlyphFont> RasterizeGlyphFont(bool large);

// Makes and installs the process-wide small and large fonts the first time
// it is called (the main window's first paint); does nothing afterwards.
void CreateProcessGlyphFonts();
