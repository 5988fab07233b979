#include "engine/pipeline/graph_result.h"

std::string GraphResultMessage(int code, bool h264Mode, bool emptyList) {
  switch (code) {
    case kGraphNoPipeline:
      return "Unable to create a media pipeline. The application can't proceed.";
    case kGraphNoSplitter:
      return "Unable to load the AVI demuxer of the media pipeline. Make sure the GStreamer good plugins are "
             "installed properly.";
    case kGraphFileUnusable:
      if (emptyList) return "The file selected is empty.";
      return "Unable to load the video file itself. Make sure that another application doesn't have an "
             "exclusive lock on the file and that the folder is accessible.";
    case kGraphNotConnected:
      return "Unable to connect two elements of the media pipeline. Something may be wrong with your "
             "GStreamer setup.";
    case kGraphNoDecoder:
      if (h264Mode) return "Unable to locate the H264 decompression codec. Please reinstall the product.";
      return "Unable to locate the MJPG decompression codec. Please reinstall the product.";
    case kGraphHeaderFixFailed:
      return "This video is from an older format that needs to be modified to support video clip extraction. "
             "Where the file is at right now, it can't be modified due to file permission, volume "
             "permissions, or a lock from another application.";
    case kGraphH264:
      return "This version of the player does not support H264 source files. Please contact your OEM for the "
             "correct version.";
    default:
      return "";
  }
}
