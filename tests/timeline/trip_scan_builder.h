#pragma once

// Whole-trip scans written by hand, for the pure tests of events and geometry.

#include <cstdint>
#include <initializer_list>

#include "engine/metadata_scan.h"

struct Rec {
  int64_t centis;  // within the file
  uint32_t triggers = 0;
  int8_t x = 0, y = 0;
};

inline FileScan MakeFile(int64_t start, int64_t length, std::initializer_list<Rec> records) {
  FileScan f;
  f.path = "file" + std::to_string(start) + ".avi";
  f.startCentis = start;
  f.lengthCentis = length;
  for (const Rec& r : records) {
    ScannedRecord s;
    s.centis = r.centis;
    s.sample.triggerBits = r.triggers;
    s.sample.accelX = r.x;
    s.sample.accelY = r.y;
    s.sample.accelZ = 10;
    f.records.push_back(s);
  }
  return f;
}

inline RecordingScan MakeScan(std::initializer_list<FileScan> files) {
  RecordingScan s;
  s.files = files;
  return s;
}
