#pragma once

#include <array>
#include <memory>
#include <string>

// Process-wide texts shared by the metadata decoders, the properties reader
// and the user interface:
//  - the eleven trigger names (index = trigger bit) that the "Triggers" text
//    is made of;
//  - the DVR type text shown by the properties dialog.
//
// Threads: the user-interface thread writes them while a recording or a live
// stream is being opened; streaming threads read them for every frame, and a
// decoder writes the DVR type text when it recognises a recording's layout.
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

// "4 Channel DVR", "2 Channel DVR", "Unknown DVR Type", or "N/A" before
// anything has set it.
inline constexpr const char* kFourChannelDvrText = "4 Channel DVR";
inline constexpr const char* kTwoChannelDvrText = "2 Channel DVR";
inline constexpr const char* kUnknownDvrTypeText = "Unknown DVR Type";
std::string DvrTypeText();
void SetDvrTypeText(const std::string& text);
