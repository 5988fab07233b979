#pragma once

// Which stream of an AVI file carries which camera, by the player's pin
// rules, for every part that reads a camera's frames without a pipeline (the
// extractor, the checks, the verification, the dialogs): they all agree with
// what the player shows for that camera.

#include <array>
#include <cstdint>
#include <string>

namespace avi {
class AviReader;
}

// The stream of `type` (kVids, kAuds) that carries camera `camera` (0..3) in
// the file `reader` holds, or -1: the stream the player's pin rules give the
// camera (its strn name, or "Stream NN" of its place), so a clip takes the
// pictures and sound the player shows for that camera even when another
// camera has no sound; the camera-th stream of the type when the names tell
// no camera at all.
int CameraStream(const avi::AviReader& reader, uint32_t type, int camera);

// Which cameras (0..3) have a video stream in the file at `path`, by the same
// rules: camera 3 of a recording without camera 2 is camera 3, never "the
// second camera". None when the file can't be read.
std::array<bool, 4> CamerasWithVideo(const std::string& path);

// The display aspect (width to height) each camera's video stream states in
// its header (avi::StatedFrameAspect), 0 where it states none, the camera
// has no video or the file can't be read.
std::array<double, 4> StatedCameraAspects(const std::string& path);
