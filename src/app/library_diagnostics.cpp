#include "app/library_diagnostics.h"

#include <gst/gst.h>

#include <QtGlobal>
#include <cstdlib>
#include <mutex>

#include "snapshot/jpeg_file.h"

namespace {

struct KeptJpegError {
  std::mutex mutex;
  std::string text;
};

KeptJpegError& Kept() {
  static KeptJpegError kept;
  return kept;
}

void DropGlibMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void DropQtMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

void LibraryDiagnostics::Install() {
  SetJpegErrorReporter([](const char* message) {
    std::lock_guard lock(Kept().mutex);
    Kept().text = message ? message : "";
  });
  qInstallMessageHandler(DropQtMessage);
  g_log_set_default_handler(DropGlibMessage, nullptr);
  // A user who sets GST_DEBUG wants GStreamer's own log on stderr. gst_init
  // installs the default log function, so it runs first (a second call, by
  // the engine, does nothing).
  gst_init(nullptr, nullptr);
  if (std::getenv("GST_DEBUG") == nullptr) gst_debug_remove_log_function(gst_debug_log_default);
}

std::string LibraryDiagnostics::TakeJpegError() {
  std::lock_guard lock(Kept().mutex);
  std::string text;
  text.swap(Kept().text);
  return text;
}
