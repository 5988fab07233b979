#pragma once

// The error manager of every libjpeg object the project makes. libjpeg's
// default ends the process on a fatal error; ours formats the library's
// message and jumps back to the point the caller set with setjmp, so a bad
// picture ends one call with a failure and nothing else.
//
// Contract for callers: between the setjmp and the libjpeg calls only
// trivially destructible objects may live (the jump skips destructors), and
// every variable read after the jump and changed after the setjmp is
// volatile.

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared before it

#include <jpeglib.h>

struct JpegErrorManager {
  jpeg_error_mgr pub;  // first: libjpeg hands &pub back to the routines
  std::jmp_buf recovery;
  char message[JMSG_LENGTH_MAX];  // the message of the fatal error, "" before one
  // Warnings about damaged data end the call too: libjpeg only warns when a
  // picture is cut short and fills the rest with grey, which a reader must
  // not take for a whole picture. Stray bytes between segments, common in
  // camera streams, leave the picture intact and always pass.
  bool damagedDataIsFatal;
  // Stray bytes pass in any number unless this is set (>= 0): then more
  // than this many before one marker are damage too. A reader sets it once
  // the headers are read, where stray bytes mean the picture data did not
  // end where its last block did.
  long strayBytesAllowed;
};

// Installs the routines and returns &manager.pub, for cinfo.err.
jpeg_error_mgr* InstallJpegErrorManager(JpegErrorManager& manager, bool damagedDataIsFatal);
