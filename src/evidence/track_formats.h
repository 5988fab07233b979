#pragma once

// A track as GPX 1.1, KML 2.2 (a gx:Track) or GeoJSON. Positions have the six
// decimals of the metadata decoder's texts, times are UTC, and the speed in
// km/h rides along as an extension: <qmx:speed> in GPX (namespace
// kTrackExtensionNamespace), a "speed_kmh" array in KML and GeoJSON.

#include <string>

#include "evidence/track_points.h"

namespace evidence {

inline constexpr const char* kTrackExtensionNamespace = "urn:qmx-player:track:1";

enum class TrackFormat { kGpx, kKml, kGeoJson };

// "gpx", "kml", "geojson" → the format; false for anything else.
bool ParseTrackFormat(const std::string& text, TrackFormat& format);

std::string FormatTrack(const Track& track, TrackFormat format);

}  // namespace evidence
