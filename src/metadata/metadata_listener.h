#pragma once

// The one-operation listener that receives decoded metadata texts.
//
// All three strings are NUL-terminated single-byte texts that are valid only
// for the duration of the call: a listener copies whatever it keeps.
// Calls arrive on the thread that decodes the sample (a streaming thread of a
// playback pipeline or the live receive thread); each listener does its own
// locking.
class CMetadataInterface {
 public:
  virtual ~CMetadataInterface() = default;
  virtual void OnMetadata(const char* sourceName, const char* label, const char* text) = 0;
};
