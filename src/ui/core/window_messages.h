#pragma once

#include <string>

#include "engine/recording_properties.h"

// Texts the main window shows in its message boxes and small windows
// (caption: kMessageCaption of base/titles.h).

inline constexpr const char* kEmptyFileMessage = "File selected is empty.";
inline constexpr const char* kCantConnectMessage = "Can't connect to this device!";
inline constexpr const char* kSnapshotErrorMessage = "Error while attempting to save a snapshot.";
inline constexpr const char* kPleaseWaitText =
    "Please wait while the video loads... (may take a minute or two for very long videos)";

// The message of an open that failed with engine result `code` is
// GraphResultMessage (engine/pipeline/graph_result.h).

// The save dialog of Take Snapshot, and the open dialog's default name.
inline constexpr const char* kSnapshotFilter =
    "JPEG image files (*.jpg);;PNG image files (*.png);;All Files (*.*)";
inline constexpr const char* kSnapshotDefaultSuffix = "jpg";
inline constexpr const char* kOpenDefaultName = "*-001.avi";

// The properties dialog's "Video Type:": "MJPG Video Source" for coding 0,
// "H264 Video Source" for 1, "" otherwise.
std::string VideoTypeText(VideoCoding h264Mode);
