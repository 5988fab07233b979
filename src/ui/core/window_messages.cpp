#include "ui/core/window_messages.h"

std::string VideoTypeText(int h264Mode) {
  if (h264Mode == 0) return "MJPG Video Source";
  if (h264Mode == 1) return "H264 Video Source";
  return "";
}
