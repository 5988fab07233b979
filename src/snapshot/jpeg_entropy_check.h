#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Decodes the whole entropy-coded data of a JPEG into its DCT coefficients
// with libjpeg-turbo (jpeg_read_coefficients: no inverse DCT, no colour
// conversion, about half the work of a decode), to learn whether the picture
// decodes cleanly. A picture passes only when every block decodes without an
// error or a warning and its data ends where its last block does: a bad
// Huffman code, a marker inside the data (a stray end marker, a cut) and
// more than a few bytes left over before the end marker (data zeroed or
// overwritten behind a whole end) are all damage. Stray bytes among the
// headers, which cameras write, pass; bytes after the end marker are not
// looked at.
//
// Threads: one checker per thread; an object is not shared. Errors never
// escape: a libjpeg error ends the call with its message and leaves the
// checker ready for the next picture.
class JpegEntropyCheck {
 public:
  JpegEntropyCheck();
  ~JpegEntropyCheck();
  JpegEntropyCheck(const JpegEntropyCheck&) = delete;
  JpegEntropyCheck& operator=(const JpegEntropyCheck&) = delete;

  // "" when the picture decodes cleanly, else what is wrong in libjpeg's
  // words ("Corrupt JPEG data: bad Huffman code", …).
  std::string Problem(const uint8_t* data, std::size_t length);

  // libjpeg's objects, defined in the .cpp only.
  struct State;

 private:
  std::unique_ptr<State> state_;
};

// Leftover bytes before a marker after the picture data that still pass:
// some encoders pad their data to a word.
inline constexpr long kJpegPaddingBytesAllowed = 16;
