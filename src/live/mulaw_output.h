#pragma once

#include <memory>
#include <string>

#include "live/live_audio.h"

// A live audio output as a small pipeline of its own:
//   appsrc (audio/x-mulaw, 8,000 Hz, mono) ! mulawdec ! audioconvert
//   ! audioresample ! volume ! <sink>
// `sinkDescription` is a gst-launch fragment with "{channel}" standing for
// `channel` + 1 (tests capture to files or appsinks), "" the sound device.
// Null when an element is missing or the pipeline cannot start; a channel
// without an output is silent, as a device that failed to open would be.
//
// Threads: made, written to and destroyed on the receive thread; the
// pipeline's own streaming thread plays.
std::unique_ptr<AudioOutput> MakeMulawOutput(int channel, const std::string& sinkDescription);
