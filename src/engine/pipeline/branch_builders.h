#pragma once

#include <gst/gst.h>

#include <string>

#include "engine/pipeline/graph_plan.h"
#include "metadata/overlay_filter.h"

// One builder per kind of branch of a recording's pipeline. Each builds its
// chain inside a bin of its own, with a ghost "sink" pad for the demuxer's
// pad, and hands back the bin (floating) or null when an element is missing
// or two elements cannot be linked; nothing is left behind in the pipeline
// then, so the other branches still preroll.
//
//   video:    queue ! qmxmetaextract "Metadata N" ! <decoder> "MJPEG Decompressor N"
//             [! videoconvert ! BGRx] ! qmxoverlay "Overlay N" ! appsink "Video N"
//   audio:    queue ! <decoder> "ACM N" ! audioconvert ! S16LE
//             ! qmxaudiotransform "Audio Transform N" ! scaletempo "Tempo N" ! volume "Volume N"
//             ! <sink> "Audio N"
//   metadata: queue ! qmxmultimeta "Multi Meta Filter" ! fakesink "NULL Renderer"

// The one place our filter elements are made. `objectName` is the source
// name listeners see, `graphName` the element's name in the pipeline.
GstElement* MakeQmxFilter(FilterRole role, DvrLayout dvrKind, const std::string& objectName,
                          const std::string& graphName);

GstElement* BuildVideoBranch(const BranchPlan& plan, DvrLayout dvrKind);
// `audioSink`: a gst-launch fragment with "{channel}", or "" for the device.
GstElement* BuildAudioBranch(const BranchPlan& plan, DvrLayout dvrKind, const std::string& audioSink);
GstElement* BuildMetadataBranch(const BranchPlan& plan, DvrLayout dvrKind);

// The audio output of channel c (0..3): the device through autoaudiosink for
// "", otherwise a bin parsed from `description` with "{channel}" replaced by
// c + 1; null when the description does not parse.
GstElement* MakeAudioSink(const std::string& description, int channel, const std::string& name);

// Lets every sink inside `bin` (nested bins too) reach PAUSED without a
// buffer of its own. Sound needs this once the pictures have prerolled: a
// pause after playing asks every sink for a new buffer, and an audio sink
// that has drained its queue waits for one the demuxer can't send while it
// is blocked on a full video queue.
void LetSinksSkipPreroll(GstElement* bin);

// The name of channel c's element of kind `base` ("Video" → "Video 1").
std::string ChannelElementName(const char* base, int channel);
