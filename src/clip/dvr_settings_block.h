#pragma once

// The DVR settings an extracted clip carries after its AVI data, so that a
// player opening the clip shows the same trigger names and title: each line
// its characters and one NUL, "set trigger.name1 %s" … "set trigger.name11
// %s", "set system.title-1 %s", then a row of 65 '.'.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace clip {

// `triggerNames` beyond eleven are ignored; missing ones are written empty.
std::vector<uint8_t> DvrSettingsBlock(const std::vector<std::string>& triggerNames, const std::string& title);

// Appends the block to an existing file (never creates one). False with the
// system's reason in `error` when the file can't be opened or written.
bool AppendDvrSettings(const std::filesystem::path& output, const std::vector<std::string>& triggerNames,
                       const std::string& title, std::string& error);

}  // namespace clip
