#pragma once

// GStreamer hands work to its streaming threads, and joins them, through
// GLib primitives that ThreadSanitizer cannot see. These marks tell it the
// order GStreamer guarantees: what a thread did before handing a graph to the
// pipeline (building it, setting its state) happens before the streaming
// threads' callbacks, and those happen before the graph is freed. They cost
// nothing in other builds.

#ifdef QMX_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
inline void HandOver(const void* object) {
  __tsan_release(const_cast<void*>(object));
}
inline void TakeOver(const void* object) {
  __tsan_acquire(const_cast<void*>(object));
}
#else
inline void HandOver(const void*) {}
inline void TakeOver(const void*) {}
#endif

// A ThreadSanitizer build runs the pipelines several times slower: bounds
// meant only for a pipeline that neither settles nor fails are stretched by
// this much there.
#ifdef QMX_THREAD_SANITIZER
inline constexpr int kSanitizerSlowdown = 4;
#else
inline constexpr int kSanitizerSlowdown = 1;
#endif
