#pragma once

// Where a recording's redaction list is kept: in the user's data folder
// ($XDG_DATA_HOME/qmxplayer/redactions, else ~/.local/share/...), never
// beside the recording, which stays as it was delivered. The list's file is
// named by a key of the recording's files (each file's name, size and the
// SHA-256 of its first 64 KiB): the same recording copied to another disk
// finds its list again; another recording never does.

#include <string>
#include <vector>

#include "export/redaction.h"

namespace redaction {

// The folder, or "" when neither XDG_DATA_HOME nor HOME is set.
std::string RedactionStoreFolder();

// The list file for the recording of `files` (its timeline, in order), or
// "" when the folder is unknown or a file can't be read.
std::string RedactionListPath(const std::vector<std::string>& files);

// The saved list; an empty list when none was saved. False (with the
// reason) when a saved file can't be read or is no list.
bool LoadRedactionList(const std::string& path, RedactionList& list, std::string& error);

// Writes the list (through a temporary file renamed into place), making
// the folder; an empty list removes the file. False with the reason.
bool SaveRedactionList(const std::string& path, const RedactionList& list, std::string& error);

}  // namespace redaction
