#pragma once

// Writes DVR recordings: single files, numbered sequences, date-stamped
// groups with continuation files, and the demo trip.
//
// Stream order of a four-channel file: video then audio of each present
// camera in camera order (only the streams that exist), then the metadata
// stream. strn names follow the DVR's pin naming, fixed per camera and type:
// "Stream 00/02/04/06" video of cameras 1..4, "Stream 01/03/05/07" their audio,
// "Stream 08" the metadata stream. A two-channel file has one video stream
// ("Stream 00") and one stereo audio stream ("Stream 01": camera 1 in the
// first, camera 2 in the second sample of each pair).

#include <filesystem>
#include <string>
#include <vector>

#include "recording_options.h"

namespace recgen {

// Every function returns false with a one-line `error` on failure; a file
// that failed half-way is removed.
bool WriteRecording(const std::filesystem::path& path, const RecordingOptions& options, std::string& error);

// folder/NAME-001.avi … NAME-<count>.avi; frame numbers, time and route run on.
bool WriteSequence(const std::filesystem::path& folder, const std::string& name, int count,
                   const RecordingOptions& options, std::string& error);

// The name of a date-stamped file that starts at local time `localSeconds`:
// "<prefix>_Mar01--2011_14.05.09<mark>.avi" (mark "" for the base file, "+" or
// "#" for a continuation). The time uses dots so that no continuation name has
// a "-" eighth from its end, which would make it look like a numbered file.
std::string GroupFileName(const std::string& prefix, uint32_t localSeconds, const std::string& mark);

// A base file and `continuations` continuation files in `folder`; returns
// the paths written, base first.
bool WriteGroup(const std::filesystem::path& folder, const std::string& prefix, int continuations,
                const std::string& mark, const RecordingOptions& options,
                std::vector<std::filesystem::path>& written, std::string& error);

// folder/Trip-001.avi … Trip-003.avi: about 10 s each, four cameras at
// 720×480, audio on all four, GPS on the move, the configuration block with
// title "QMX Demo Van" and trigger names.
RecordingOptions DemoOptions();
bool WriteDemo(const std::filesystem::path& folder, std::string& error);

}  // namespace recgen
