#include "metadata/process_lock.h"

std::mutex& ProcessLock() {
  // Never destroyed: streaming threads may still take it while static
  // objects are torn down at exit.
  static std::mutex* lock = new std::mutex;
  return *lock;
}
