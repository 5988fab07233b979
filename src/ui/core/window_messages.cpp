#include "ui/core/window_messages.h"

std::string VideoTypeText(VideoCoding h264Mode) {
  switch (h264Mode) {
    case VideoCoding::kMotionJpeg:
      return "MJPG Video Source";
    case VideoCoding::kH264:
      return "H264 Video Source";
  }
  return "";
}
