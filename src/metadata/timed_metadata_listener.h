#pragma once

#include <cstdint>

#include "metadata/metadata_listener.h"

// A listener that also learns when the sample a text came from is due: the
// running time of that sample in its pipeline, in nanoseconds. Overlays use
// it to draw a text on the frame of the same time rather than on whatever
// frame passes when the text arrives (a metadata stream is not held back by
// its sink and runs ahead of the picture).
//
// Same threading and lifetime rules as CMetadataInterface. Decoders that know
// no time call the plain OnMetadata.
class CTimedMetadataInterface : public CMetadataInterface {
 public:
  static constexpr int64_t kNoTime = -1;
  // timeNs ≥ 0, or kNoTime, which means "now".
  virtual void OnTimedMetadata(const char* sourceName, const char* label, const char* text,
                               int64_t timeNs) = 0;
};
