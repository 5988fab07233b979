// Built into every program of a ThreadSanitizer build. GLib's GMutex and
// GCond lock with futexes of their own, out of the sanitizer's sight, so every
// frame GStreamer hands from one thread to another through a queue, an
// appsink or an object lock looked unsynchronised, and copying one frame made
// hundreds of thousands of reports (minutes per frame). These definitions
// stand in front of GLib's for every caller outside GLib itself (GStreamer,
// its plugins, our code) and tell the sanitizer what each lock orders; the
// locking itself is still GLib's.

#include <dlfcn.h>

extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);

namespace {

// GLib's own function of that name, found once; the program is already
// linked with GLib whenever anything calls these.
template <typename Function>
Function Real(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

using Lock = void (*)(void*);
using TryLock = int (*)(void*);
using Wait = void (*)(void*, void*);
using WaitUntil = int (*)(void*, void*, long);

}  // namespace

extern "C" __attribute__((used, visibility("default"))) void g_mutex_lock(void* mutex) {
  static const Lock real = Real<Lock>("g_mutex_lock");
  real(mutex);
  __tsan_acquire(mutex);
}

extern "C" __attribute__((used, visibility("default"))) int g_mutex_trylock(void* mutex) {
  static const TryLock real = Real<TryLock>("g_mutex_trylock");
  const int locked = real(mutex);
  if (locked) __tsan_acquire(mutex);
  return locked;
}

extern "C" __attribute__((used, visibility("default"))) void g_mutex_unlock(void* mutex) {
  static const Lock real = Real<Lock>("g_mutex_unlock");
  __tsan_release(mutex);
  real(mutex);
}

// A wait gives the mutex up and takes it back, as an unlock and a lock.
extern "C" __attribute__((used, visibility("default"))) void g_cond_wait(void* cond, void* mutex) {
  static const Wait real = Real<Wait>("g_cond_wait");
  __tsan_release(mutex);
  real(cond, mutex);
  __tsan_acquire(mutex);
}

extern "C" __attribute__((used, visibility("default"))) int g_cond_wait_until(void* cond, void* mutex,
                                                                              long endTime) {
  static const WaitUntil real = Real<WaitUntil>("g_cond_wait_until");
  __tsan_release(mutex);
  const int signalled = real(cond, mutex, endTime);
  __tsan_acquire(mutex);
  return signalled;
}

// GRecMutex is a pthread mutex the sanitizer does see, but GLib makes it on
// first use and publishes it with an atomic it does not see, so the first
// lock in another thread looked like a race with the making. Each lock here
// passes on what its thread did up to taking the lock.
extern "C" __attribute__((used, visibility("default"))) void g_rec_mutex_init(void* mutex) {
  static const Lock real = Real<Lock>("g_rec_mutex_init");
  real(mutex);
  __tsan_release(mutex);
}

extern "C" __attribute__((used, visibility("default"))) void g_rec_mutex_lock(void* mutex) {
  static const Lock real = Real<Lock>("g_rec_mutex_lock");
  __tsan_acquire(mutex);
  real(mutex);
  __tsan_release(mutex);
}

extern "C" __attribute__((used, visibility("default"))) int g_rec_mutex_trylock(void* mutex) {
  static const TryLock real = Real<TryLock>("g_rec_mutex_trylock");
  __tsan_acquire(mutex);
  const int locked = real(mutex);
  if (locked) __tsan_release(mutex);
  return locked;
}

// The last reference to an object, dropped by an atomic count the sanitizer
// does not see, may go in another thread than its last unlock, so an unlock,
// once done, passes on to the clearing. (Between lockers the sanitizer sees
// the pthread mutex itself.)
extern "C" __attribute__((used, visibility("default"))) void g_rec_mutex_unlock(void* mutex) {
  static const Lock real = Real<Lock>("g_rec_mutex_unlock");
  real(mutex);
  __tsan_release(mutex);
}

extern "C" __attribute__((used, visibility("default"))) void g_rec_mutex_clear(void* mutex) {
  static const Lock real = Real<Lock>("g_rec_mutex_clear");
  __tsan_acquire(mutex);
  real(mutex);
}

// A GThreadPool takes its tasks over through a queue locked inside GLib.
// GStreamer's task pool pushes a block that the pool thread gives back to
// GSlice when it takes the task; the push passes on what the pushing thread
// did, the giving back takes it.
using Push = int (*)(void*, void*, void*);

extern "C" __attribute__((used, visibility("default"))) int g_thread_pool_push(void* pool, void* data,
                                                                               void* error) {
  static const Push real = Real<Push>("g_thread_pool_push");
  __tsan_release(data);
  return real(pool, data, error);
}

using SliceFree = void (*)(unsigned long, void*);

extern "C" __attribute__((used, visibility("default"))) void g_slice_free1(unsigned long size, void* memory) {
  static const SliceFree real = Real<SliceFree>("g_slice_free1");
  if (memory) __tsan_acquire(memory);
  real(size, memory);
}

// A message, buffer or event may lose its last reference on another thread
// than the one that used it last: a bin keeps a reference to a message while
// posting it, so the streaming thread that posted it can free it after the
// thread that popped it from the bus has read it and let it go. The count
// that orders the two is an atomic inside GStreamer; each dropping passes on
// what its thread did with the object, and the freeing (GSlice, above) takes
// it.
using Unref = void (*)(void*);

extern "C" __attribute__((used, visibility("default"))) void gst_mini_object_unref(void* object) {
  static const Unref real = Real<Unref>("gst_mini_object_unref");
  __tsan_release(object);
  real(object);
}

// GSlice recycles freed blocks between threads through a depot it locks
// inside GLib, so a message or buffer header made in one thread from a block
// another thread once had looked like a race with that thread. GSlice is
// told to use plain malloc, which the sanitizer follows, before any library
// starts: the pre-init functions of a program run before its libraries'
// constructors, and GObject's already allocate. (Too early for setenv: the C
// library sets up the environment after them.)
// Weak: not every program links GLib.
extern "C" void g_slice_set_config(int option, long value) __attribute__((weak));

namespace {
constexpr int kSliceConfigAlwaysMalloc = 1;  // G_SLICE_CONFIG_ALWAYS_MALLOC
void UsePlainMalloc(int, char**, char**) {
  if (g_slice_set_config) g_slice_set_config(kSliceConfigAlwaysMalloc, 1);
}
}  // namespace
__attribute__((section(".preinit_array"), used)) void (*const qmxUsePlainMalloc)(int, char**,
                                                                                 char**) = UsePlainMalloc;
