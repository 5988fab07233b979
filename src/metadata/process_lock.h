#pragma once

#include <mutex>

// The process-wide lock: guards every overlay's frame copy while it is
// written, freed or read for a snapshot, so a snapshot never sees a frame
// that is half replaced or already freed. Held only for one block copy.
std::mutex& ProcessLock();
