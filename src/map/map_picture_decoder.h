#pragma once

// Decodes the map's pictures (PNG tiles, JPEG static maps, whatever else Qt
// reads) without the image libraries' own lines: a picture that does not
// decode is told once, by the map's status and message, not by libpng on
// stderr. Any thread.

#include <QImage>
#include <string>

// The picture, or a null image when the bytes do not decode.
QImage DecodeMapPicture(const std::string& bytes);
