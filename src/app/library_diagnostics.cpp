#include "app/library_diagnostics.h"

#include <gst/gst.h>

#include <QtGlobal>
#include <cstdlib>
#include <mutex>

#include "snapshot/jpeg_file.h"

namespace {

struct Kept {
  std::mutex mutex;
  std::string jpeg;
  std::string library;
};

Kept& Shared() {
  static Kept kept;
  return kept;
}

void KeepLibraryError(std::string text) {
  std::lock_guard lock(Shared().mutex);
  Shared().library = std::move(text);
}

void OnGstLog(GstDebugCategory*, GstDebugLevel level, const gchar*, const gchar*, gint, GObject*,
              GstDebugMessage* message, gpointer) {
  if (level != GST_LEVEL_ERROR) return;
  if (const gchar* text = gst_debug_message_get(message)) KeepLibraryError(text);
}

void OnGlibLog(const gchar*, GLogLevelFlags level, const gchar* message, gpointer) {
  if ((level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL)) && message) KeepLibraryError(message);
}

void OnQtMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

void LibraryDiagnostics::Install() {
  SetJpegErrorReporter([](const char* message) {
    std::lock_guard lock(Shared().mutex);
    Shared().jpeg = message ? message : "";
  });
  qInstallMessageHandler(OnQtMessage);
  g_log_set_default_handler(OnGlibLog, nullptr);
  // A user who sets GST_DEBUG wants GStreamer's own log on stderr.
  if (std::getenv("GST_DEBUG") == nullptr) {
    gst_debug_remove_log_function(gst_debug_log_default);
    gst_debug_add_log_function(OnGstLog, nullptr, nullptr);
    gst_debug_set_default_threshold(GST_LEVEL_ERROR);
  }
}

std::string LibraryDiagnostics::TakeLastError() {
  std::lock_guard lock(Shared().mutex);
  std::string text = !Shared().jpeg.empty() ? Shared().jpeg : Shared().library;
  Shared().jpeg.clear();
  Shared().library.clear();
  return text;
}

std::string LibraryDiagnostics::TakeJpegError() {
  std::lock_guard lock(Shared().mutex);
  std::string text;
  text.swap(Shared().jpeg);
  return text;
}
