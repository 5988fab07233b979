#pragma once

// Reads one recording for the library: the files' sizes, times and hashes,
// the DVR's title and version, the whole-trip metadata scan (span, events,
// track of one point a second) and the quick integrity check. Only reads.
// Plain C++, any thread.

#include <atomic>
#include <string>

#include "engine/trip_events.h"
#include "library/library_recording.h"
#include "library/recording_discovery.h"

namespace library {

// Fills `out` from `found`; "" on success, else the one-line reason the
// recording can't be indexed (not an AVI, unreadable, cancelled), naming no
// path. `cancel` turning true stops it.
std::string ReadLibraryRecording(const FoundRecording& found, LibraryRecording& out,
                                 const std::atomic<bool>* cancel = nullptr,
                                 int harshTenths = kDefaultHarshTenths);

// A file's size and modification time as the library compares them; false
// when it can't be looked at.
bool StampFile(const std::string& path, LibraryFile& file);

}  // namespace library
