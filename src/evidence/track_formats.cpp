#include "evidence/track_formats.h"

#include <cstdio>

#include "evidence/text_escape.h"

namespace evidence {
namespace {

std::string Degrees(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

std::string Gpx(const Track& t) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"qmxplayer\" xmlns=\"http://www.topografix.com/GPX/1/1\" xmlns:qmx=\"" +
      std::string(kTrackExtensionNamespace) + "\">\n  <metadata>\n    <name>" + XmlText(t.name) + "</name>\n";
  if (!t.description.empty()) out += "    <desc>" + XmlText(t.description) + "</desc>\n";
  if (!t.points.empty()) out += "    <time>" + Iso8601Utc(t.points.front().utcMillis) + "</time>\n";
  out += "  </metadata>\n  <trk>\n    <name>" + XmlText(t.name) + "</name>\n    <trkseg>\n";
  for (const TrackPoint& p : t.points) {
    out += "      <trkpt lat=\"" + Degrees(p.latitude) + "\" lon=\"" + Degrees(p.longitude) + "\"><time>" +
           Iso8601Utc(p.utcMillis) + "</time><extensions><qmx:speed unit=\"km/h\">" +
           std::to_string(p.speedKmh) + "</qmx:speed></extensions></trkpt>\n";
  }
  return out + "    </trkseg>\n  </trk>\n</gpx>\n";
}

std::string Kml(const Track& t) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n"
      "<Document>\n  <name>" +
      XmlText(t.name) + "</name>\n" +
      (t.description.empty() ? "" : "  <description>" + XmlText(t.description) + "</description>\n") +
      "  <Schema id=\"qmx_track\">\n"
      "    <gx:SimpleArrayField name=\"speed_kmh\" type=\"int\"><displayName>Speed (km/h)</displayName>"
      "</gx:SimpleArrayField>\n"
      "  </Schema>\n  <Placemark>\n    <name>" +
      XmlText(t.name) + "</name>\n    <gx:Track>\n";
  for (const TrackPoint& p : t.points) out += "      <when>" + Iso8601Utc(p.utcMillis) + "</when>\n";
  for (const TrackPoint& p : t.points)
    out += "      <gx:coord>" + Degrees(p.longitude) + " " + Degrees(p.latitude) + " 0</gx:coord>\n";
  out +=
      "      <ExtendedData>\n        <SchemaData schemaUrl=\"#qmx_track\">\n"
      "          <gx:SimpleArrayData name=\"speed_kmh\">\n";
  for (const TrackPoint& p : t.points)
    out += "            <gx:value>" + std::to_string(p.speedKmh) + "</gx:value>\n";
  return out +
         "          </gx:SimpleArrayData>\n        </SchemaData>\n      </ExtendedData>\n"
         "    </gx:Track>\n  </Placemark>\n</Document>\n</kml>\n";
}

std::string GeoJson(const Track& t) {
  std::string out = "{\"type\": \"FeatureCollection\", ";
  if (!t.description.empty()) out += "\"description\": " + JsonString(t.description) + ", ";
  out += "\"features\": [";
  if (!t.points.empty()) {
    // A LineString needs two positions; a lone fix is a Point.
    const bool line = t.points.size() > 1;
    std::string coordinates, times, speeds;
    for (std::size_t i = 0; i < t.points.size(); ++i) {
      const TrackPoint& p = t.points[i];
      const char* sep = i ? ", " : "";
      coordinates += sep + ("[" + Degrees(p.longitude) + ", " + Degrees(p.latitude) + "]");
      times += sep + ("\"" + Iso8601Utc(p.utcMillis) + "\"");
      speeds += sep + std::to_string(p.speedKmh);
    }
    out += "\n  {\"type\": \"Feature\", \"properties\": {\"name\": " + JsonString(t.name) + ", \"times\": [" +
           times + "], \"speed_kmh\": [" + speeds + "]},\n   \"geometry\": {\"type\": \"" +
           (line ? "LineString\", \"coordinates\": [" + coordinates + "]"
                 : "Point\", \"coordinates\": " + coordinates) +
           "}}\n";
  }
  return out + "]}\n";
}

}  // namespace

bool ParseTrackFormat(const std::string& text, TrackFormat& format) {
  if (text == "gpx") return format = TrackFormat::kGpx, true;
  if (text == "kml") return format = TrackFormat::kKml, true;
  if (text == "geojson") return format = TrackFormat::kGeoJson, true;
  return false;
}

std::string FormatTrack(const Track& track, TrackFormat format) {
  switch (format) {
    case TrackFormat::kGpx:
      return Gpx(track);
    case TrackFormat::kKml:
      return Kml(track);
    case TrackFormat::kGeoJson:
      return GeoJson(track);
  }
  return {};
}

}  // namespace evidence
