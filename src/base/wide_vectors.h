#pragma once

#include <atomic>

// The processor's widest vectors our pixel loops use (AVX2 on x86-64),
// chosen at run time so the program still runs on any x86-64. Where the
// compiler can build such a path, QMX_HAVE_AVX2_PATH is defined and the
// intrinsics are declared; functions of that path carry
// __attribute__((target("avx2"))).
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QMX_HAVE_AVX2_PATH 1
#endif

// One switch per kind of loop: on where the processor has the wide
// vectors; tests turn it off to run the narrower path too, whose results
// must be the same.
class WideVectorSwitch {
 public:
  static bool Available() {
#if defined(QMX_HAVE_AVX2_PATH)
    __builtin_cpu_init();  // may run before the runtime's own set-up of the CPU model
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
  }
  bool On() const {
    return on_.load(std::memory_order_relaxed);
  }
  // Returns whether the wide path is now in use.
  bool Set(bool on) {
    on = on && Available();
    on_ = on;
    return on;
  }

 private:
  std::atomic<bool> on_{Available()};
};
