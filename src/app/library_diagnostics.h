#pragma once

#include <string>

// Keeps the libraries' own lines off stderr in the headless modes, where the
// user reads one line from the player and nothing else: GStreamer's debug
// log (unless GST_DEBUG asks for it), GLib's warnings and criticals, Qt's
// messages and libjpeg's fatal-error reports. libjpeg's message is kept, so
// a failed snapshot can give it as the reason in its own line.
//
// Threads: Install() on the main thread before any pipeline exists; the
// handlers run on any thread.
class LibraryDiagnostics {
 public:
  static void Install();
  // The last libjpeg message, "" when there was none since the last call.
  static std::string TakeJpegError();
};
