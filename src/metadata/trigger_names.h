#pragma once

#include <array>
#include <memory>
#include <string>

// The eleven trigger names (index = trigger bit) that the "Triggers" text is
// made of, shared by the metadata decoders, the properties reader and the
// user interface. (The DVR type is per recording: RecordingContext.)
//
// Threads: the user-interface thread writes them while a recording or a live
// stream is being opened; streaming threads read them for every frame.
// Readers take an immutable snapshot (copy-on-write), so a decoder never waits
// for more than the swap of one pointer and never sees a half-written set.

inline constexpr int kTriggerCount = 11;
using TriggerNameList = std::array<std::string, kTriggerCount>;

// The current names. The snapshot stays valid and unchanged for as long as
// the caller holds it, whatever is written meanwhile.
std::shared_ptr<const TriggerNameList> TriggerNames();

// Sets the name of trigger bit `index` (0..10); other indexes are ignored.
void SetTriggerName(int index, const std::string& name);
void SetTriggerNames(const TriggerNameList& names);

// "Trigger 0" … "Trigger 10": set whenever a recording or sequence is opened,
// before its own names replace them. These are also the names at start-up.
TriggerNameList DefaultTriggerNames();
void ResetTriggerNamesToDefaults();
// "T1" … "T11": the names a live stream uses.
void ResetTriggerNamesToLive();

// The eleven names joined by commas without blanks (the "Trigger Labels" text).
std::string JoinTriggerNames(const TriggerNameList& names);
