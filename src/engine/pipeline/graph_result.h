#pragma once

#include <string>

// Result codes of building a recording's graph and of opening a sequence.
// The main window shows the message of every nonzero code.
enum GraphResult : int {
  kGraphOk = 0,
  kGraphNoPipeline = 1,       // the pipeline could not be created
  kGraphNoSplitter = 2,       // no AVI demuxer element is installed
  kGraphFileUnusable = 3,     // the file cannot be opened or read, or the list of files is empty
  kGraphNotConnected = 4,     // source and demuxer could not be linked
  kGraphNoDecoder = 5,        // no Motion-JPEG decoder element is installed
  kGraphHeaderFixFailed = 6,  // the old one-stream header could not be corrected
  kGraphH264 = 7,             // a video stream is H264
};

// What the user reads for `code`. `h264Mode` picks the codec name of code 5;
// `emptyList` picks the text of code 3 when the engine was handed no files.
// Code 0 and unknown codes give "".
std::string GraphResultMessage(int code, bool h264Mode = false, bool emptyList = false);
