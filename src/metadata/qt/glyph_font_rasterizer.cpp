#include "metadata/qt/glyph_font_rasterizer.h"

#include <mutex>

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>

std::unique_ptr<GlyphFont> RasterizeGlyphFont(bool large) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(large ? 22 : 12);
  font.setWeight(large ? QFont::Bold : QFont::Light);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  const QFontMetrics metrics(font);
  const int cellHeight = metrics.height();

  std::vector<GlyphFont::Glyph> glyphs;
  glyphs.reserve(GlyphFont::kGlyphCount);
  for (int code = GlyphFont::kFirstChar; code <= GlyphFont::kLastChar; ++code) {
    const QString text{QChar(char16_t(code))};
    const int cellWidth = metrics.horizontalAdvance(text);
    GlyphFont::Glyph glyph;
    if (cellWidth > 0 && cellHeight > 0) {
      QImage cell(cellWidth, cellHeight, QImage::Format_RGB32);
      cell.fill(Qt::black);
      {
        QPainter painter(&cell);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(0, metrics.ascent(), text);
      }
      glyph.width = cellWidth;
      glyph.height = cellHeight;
      glyph.coverage.resize(std::size_t(cellWidth) * std::size_t(cellHeight));
      for (int y = 0; y < cellHeight; ++y)
        for (int x = 0; x < cellWidth; ++x)
          glyph.coverage[std::size_t(y) * std::size_t(cellWidth) + std::size_t(x)] =
              qRed(cell.pixel(x, y)) / 255.0;
    }
    glyphs.push_back(std::move(glyph));
  }
  return std::make_unique<GlyphFont>(std::move(glyphs));
}

void CreateProcessGlyphFonts() {
  // Rasterising twice would only waste the second pair, but it is Qt work
  // that belongs to one thread at a time.
  static std::once_flag once;
  std::call_once(once, [] {
    if (SmallGlyphFont() == nullptr) InstallGlyphFonts(RasterizeGlyphFont(false), RasterizeGlyphFont(true));
  });
}
