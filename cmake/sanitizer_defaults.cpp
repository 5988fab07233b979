// Built into every program of a sanitizer build (QMX_SANITIZE), so that the
// programs and the test suite behave the same however they are started.

#ifndef QMX_THREAD_SANITIZER
// Complete allocation stacks: the fast unwinder stops inside GLib, which is
// built without frame pointers, and then its start-up allocations can't be
// told apart from leaks of ours.
extern "C" __attribute__((used, visibility("default"))) const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0:detect_leaks=1";
}

// Allocations that live as long as the process by design, in libraries.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:_dl_init\n"           // GLib's tables made by its library constructors
         "leak:libfontconfig.so\n";  // font caches kept by fontconfig for Qt
}
#else
// GLib (and Qt) lock with futexes of their own that ThreadSanitizer does not
// see, so every hand-over through a GStreamer pad, queue or bus looks
// unsynchronised, and GMutex's fast path looks like unlocking an unlocked
// mutex. Reports with GLib or GStreamer (a library or plugin) on a stack are
// therefore left to those libraries; a deep history lets the sanitizer
// restore the earlier stack of a race, so those frames are seen. Interceptors
// stay on everywhere: thread creation inside GLib still orders our accesses.
extern "C" __attribute__((used, visibility("default"))) const char* __tsan_default_suppressions() {
  return "race:libglib-2.0.so\n"
         "race:libgobject-2.0.so\n"
         "race:libgst\n"
         "race:libQt6Core.so\n"
         "race:libfontconfig.so\n"
         "mutex:libglib-2.0.so\n"
         "mutex:libgst\n"
         "deadlock:libgst\n";
}

extern "C" __attribute__((used, visibility("default"))) const char* __tsan_default_options() {
  return "halt_on_error=1:history_size=7:second_deadlock_stack=1:report_signal_unsafe=0";
}
#endif
