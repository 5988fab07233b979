#pragma once

#include <string>

// Keeps the libraries' own lines off stderr in the headless modes, where the
// user reads one line from the player and nothing else: GStreamer's debug
// log (unless GST_DEBUG asks for it), GLib's warnings and criticals, Qt's
// messages and libjpeg's fatal-error reports. What they said is kept, so the
// mode can name the reason of a failure in its own line.
//
// Threads: Install() on the main thread before any pipeline exists; the
// handlers run on any thread and only append under their own lock.
class LibraryDiagnostics {
 public:
  static void Install();
  // The last error the libraries reported (a libjpeg message first, then
  // GStreamer's or GLib's), "" when there was none; then forgets them.
  static std::string TakeLastError();
  // The last libjpeg message only, "" when there was none.
  static std::string TakeJpegError();
};
