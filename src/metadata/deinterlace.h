#pragma once

#include <cstddef>
#include <cstdint>

// Deinterlaces a TOP-DOWN frame of `width` × `height` pixels of 4 bytes
// (rows of width × 4 bytes, no padding) in place, every byte alike.
//
// The rows replaced are the odd rows counted from the BOTTOM of the picture
// (the frames of the DVR were stored bottom row first, and the picture must
// stay the same): in top-down order the rows t with (height − 1 − t) odd and
// 1 ≤ t ≤ height − 2, each rebuilt from its two neighbours, which are never
// changed. For an even height that is rows height − 2, height − 4, …, 2; the
// top row keeps its content because it has no row above it on screen.
//
// fast: B := (A + C) / 2. Adaptive (fast false): if |B − A| < 20 or
// |B − C| < 20 then B := (A + 2B + C) / 4, otherwise B := (A + C) / 2;
// all rounded down. Frames smaller than 3 rows are left alone.
void FastDeinterlaceFrame(uint8_t* frame, int width, int height, bool fast);

// The same rows of a frame whose rows are `strideBytes` apart, limited to the
// rows t with firstRow <= t and t + 1 < endRow: a decoder that has written
// rows [0, endRow) calls it with the endRow - 1 of its previous call as
// firstRow, and the frame ends exactly as FastDeinterlaceFrame leaves it,
// each row rebuilt while it and its neighbours are still in the cache.
void DeinterlaceRows(uint8_t* frame, int width, int height, std::size_t strideBytes, int firstRow, int endRow,
                     bool fast);

// The first top-down row a frame of `height` rows has rebuilt (the rule
// above): then every second one up to height - 2.
inline int FirstDeinterlacedRow(int height) {
  return height % 2 == 0 ? 2 : 1;
}

// Whether rows go through the processor's widest vectors (AVX2, where there
// is one; the default) or 16 bytes at a time; the result is the same, tests
// run both. Returns whether the wide path is now in use.
bool DeinterlaceWithWideVectors(bool on);
