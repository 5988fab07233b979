#include "snapshot/jpeg_entropy_check.h"

#include <csetjmp>
#include <cstdio>

#include "snapshot/jpeg_error_manager.h"
#include "snapshot/jpeg_file.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

struct JpegEntropyCheck::State {
  jpeg_decompress_struct cinfo;
  JpegErrorManager errors;
};

namespace {

enum class Outcome { kClean, kDamaged, kTooLarge };

// The libjpeg part of a call, kept free of C++ objects because a libjpeg
// error leaves it by longjmp.
Outcome Run(JpegEntropyCheck::State& s, const uint8_t* data, std::size_t length) {
  jpeg_decompress_struct& cinfo = s.cinfo;
  s.errors.message[0] = '\0';
  s.errors.strayBytesAllowed = -1;
  if (setjmp(s.errors.recovery)) {
    jpeg_abort_decompress(&cinfo);
    return Outcome::kDamaged;
  }
  jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(length));
  jpeg_read_header(&cinfo, TRUE);
  // The coefficient arrays are as large as the picture: a hostile size is
  // refused before libjpeg allocates them.
  if (std::size_t(cinfo.image_width) * cinfo.image_height > kJpegMaxPixels) {
    jpeg_abort_decompress(&cinfo);
    return Outcome::kTooLarge;
  }
  s.errors.strayBytesAllowed = kJpegPaddingBytesAllowed;
  jpeg_read_coefficients(&cinfo);
  jpeg_finish_decompress(&cinfo);
  return Outcome::kClean;
}

}  // namespace

JpegEntropyCheck::JpegEntropyCheck() : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.cinfo.err = InstallJpegErrorManager(s.errors, true);
  // Creating the object cannot fail on a bad picture; only memory exhaustion
  // reaches error_exit here, and then there is nothing to recover.
  jpeg_create_decompress(&s.cinfo);
}

JpegEntropyCheck::~JpegEntropyCheck() {
  jpeg_destroy_decompress(&state_->cinfo);
}

std::string JpegEntropyCheck::Problem(const uint8_t* data, std::size_t length) {
  if (data == nullptr || length == 0) return "no picture data";
  switch (Run(*state_, data, length)) {
    case Outcome::kClean:
      return "";
    case Outcome::kTooLarge:
      return "picture too large";
    case Outcome::kDamaged:
      break;
  }
  return state_->errors.message[0] != '\0' ? state_->errors.message : "does not decode";
}
