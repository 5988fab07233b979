#include "app/map_image_mode.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <atomic>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/clock_positions.h"
#include "app/library_diagnostics.h"
#include "app/mode_files.h"
#include "app/mode_status.h"
#include "avi/avi_reader.h"
#include "base/mode_arguments.h"
#include "base/settings.h"
#include "evidence/file_output.h"
#include "map/map_cache_file.h"
#include "map/map_composer.h"
#include "map/map_tile_store.h"
#include "map/tile_disk_cache.h"
#include "map/trip_track.h"

namespace {

int Usage() {
  std::cerr << "usage: qmxplayer --map-image FILE --at CENTIS --out MAP.png [--zoom 2..20]\n";
  return kExitBadInput;
}

}  // namespace

int RunMapImageMode(int argc, char** argv, const CommandLine& line) {
  std::string file, out;
  long long at = -1, zoom = kStartZoom;
  ClockPositions clocks;
  int64_t atCentis = -1;
  const std::vector<std::string>& args = line.modeArgs;
  if (!args.empty()) file = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--at" && hasValue) {
      if (!clocks.Parse(args[++i], atCentis, ClockPositions::Use::kFrame)) return Usage();
      at = atCentis;
    } else if (a == "--zoom" && hasValue) {
      if (!ParseWholeNumber(args[++i], zoom) || zoom < kMinZoom || zoom > kMaxZoom) return Usage();
    } else if (a == "--out" && hasValue) {
      out = args[++i];
    } else {
      return Usage();
    }
  }
  if (file.empty() || out.empty() || at < 0) return Usage();
  if (std::string reason; !clocks.Resolve(file, reason))
    return ModeFailure(std::cerr, file, reason, kExitBadInput);
  at = atCentis;
  {
    avi::AviReader reader;
    if (!reader.Open(file, avi::AviReader::Load::kHeadersOnly))
      return ModeFailure(std::cerr, file, reader.Error(), kExitBadInput);
  }
  // The map cache beside the recording is read too.
  std::vector<std::string> sources = RecordingSources(file);
  sources.push_back(MapCachePath(file));
  if (RefuseModeOutputs(std::cerr, {out}, sources) != kExitDone) return kExitBadInput;

  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  LibraryDiagnostics::Install();
  QGuiApplication app(argc, argv);

  const TripTrack track = LoadTripTrack(file);
  const std::optional<GeoPoint> position = PositionAt(track, at);
  if (!position) {
    return ModeFailure(std::cerr, file, "no map: the recording holds no GPS position", kExitOutputFailed);
  }
  const MapSource source = ReadMapSource(ReadSetting);
  // Viewing never writes beside the recording: the cache file is only read.
  MapTileStore store(MapCachePath(file), /*writable=*/false);
  const TileDiskCache tiles(TileDiskCache::DefaultRoot(), source.tileTemplate);
  const std::atomic<bool> never{false};
  MapComposer composer(source, ReadProxyConfig(ReadSetting), &store, &tiles, &never);
  const MapPicture picture = composer.Compose(*position, int(zoom), track.Positions());
  if (picture.status != MapStatus::kShown) {
    std::string reason = StatusText(picture.status);
    if (!composer.LastError().empty()) reason += " (" + composer.LastError() + ")";
    return ModeFailure(std::cerr, file, "no map: " + reason, kExitOutputFailed);
  }
  // Encoded in memory and written through a temporary name: a full disk
  // gives its reason and leaves no file, never an empty picture.
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  if (!writer.write(picture.image)) {
    return ModeFailure(std::cerr, out, "cannot save the map: " + writer.errorString().toStdString(),
                       kExitOutputFailed);
  }
  std::string error;
  if (!evidence::WriteWholeFile(out, png.toStdString(), error))
    return ModeFailure(std::cerr, out, "cannot save the map: " + error, kExitOutputFailed);
  return kExitDone;
}
