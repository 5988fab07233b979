// Built into every program of a sanitizer build (QMX_SANITIZE), so that the
// programs and the test suite behave the same however they are started.

#ifndef QMX_THREAD_SANITIZER
// Complete allocation stacks: the fast unwinder stops inside GLib, which is
// built without frame pointers, and then its start-up allocations can't be
// told apart from leaks of ours. The table of suppressions that matched is
// not printed at exit: it would reach the stderr that the player's modes
// keep for their one line of diagnosis.
extern "C" __attribute__((used, visibility("default"))) const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0:detect_leaks=1:print_suppressions=0";
}

// Allocations that live as long as the process by design, in libraries.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:_dl_init\n"           // GLib's tables made by its library constructors
         "leak:libfontconfig.so\n";  // font caches kept by fontconfig for Qt
}
#else
// The suppressions live in the repository's tests/tsan.supp, each with its
// reason; GLib's locks are made visible by tsan_glib_locks.cpp.
extern "C" __attribute__((used, visibility("default"))) const char* __tsan_default_options() {
  return "halt_on_error=1:history_size=7:second_deadlock_stack=1:report_signal_unsafe=0:"
         "suppressions=" QMX_TSAN_SUPPRESSIONS;
}
#endif
