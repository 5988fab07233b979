#include <QCoreApplication>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/check_mode.h"
#include "app/command_line.h"
#include "app/events_mode.h"
#include "app/export_bookmarks_mode.h"
#include "app/export_evidence_mode.h"
#include "app/export_metadata_mode.h"
#include "app/export_track_mode.h"
#include "app/export_video_mode.h"
#include "app/extract_mode.h"
#include "app/index_mode.h"
#include "app/info_mode.h"
#include "app/live_mode.h"
#include "app/map_image_mode.h"
#include "app/mode_status.h"
#include "app/report_mode.h"
#include "app/search_mode.h"
#include "app/snapshot_mode.h"
#include "app/verify_mode.h"
#include "app/window_arguments.h"
#include "base/brand.h"
#include "base/settings.h"
#include "base/titles.h"
#include "base/version.h"
#include "metadata/speed_unit.h"
#include "ui/run_player_window.h"

namespace {

void PrintUsage(std::ostream& out, const std::string& brand) {
  out << MainWindowTitle(brand) << "\n"
      << "usage: qmxplayer [RECORDING.avi] [exportfiltergraph]\n"
      << "       qmxplayer --version               print the player's version\n"
      << "       qmxplayer --info FILE             print the recording's properties\n"
      << "       qmxplayer --export-metadata FILE  print every frame's metadata as CSV\n"
      << "       qmxplayer --events FILE [--threshold TENTHS]\n"
      << "                                         print the trip's events (triggers turning on,\n"
      << "                                         harsh motion) as CSV\n"
      << "       qmxplayer --snapshot FILE --at CENTIS --channel N --out OUT.jpg [--overlay]\n"
      << "                                         save camera N's frame at CENTIS hundredths\n"
      << "                                         of the recording (or the numbered run FILE\n"
      << "                                         starts) as a JPEG\n"
      << "       qmxplayer --check FILE [--quick] [--json]\n"
      << "                                         report frames, frame rates, time gaps, time\n"
      << "                                         going backwards, duplicate frames, pictures\n"
      << "                                         that do not decode (every frame's data is\n"
      << "                                         decoded; --quick: headers and ends only),\n"
      << "                                         missing audio, files cut short or skipped and\n"
      << "                                         gaps between files; exit 0 clean, 1 something\n"
      << "                                         found, 2 unreadable\n"
      << "       qmxplayer --export-track FILE --format gpx|kml|geojson --out OUT\n"
      << "                                         write the positions as a track (UTC times,\n"
      << "                                         speed in km/h); positions of exactly 0 and\n"
      << "                                         impossible jumps are left out and counted\n"
      << "       qmxplayer --export-evidence FILE --from CENTIS --to CENTIS --cameras 1,2,...\n"
      << "                 --out DIR [--with-video] [--with-report [--case TEXT] [--examiner TEXT]]\n"
      << "                                         write an evidence package into the new or empty\n"
      << "                                         DIR: clips, metadata CSV, GPX track, snapshots,\n"
      << "                                         integrity report, the range's bookmarks, log.txt,\n"
      << "                                         MANIFEST.sha256, manifest.json; --with-video adds\n"
      << "                                         video.mp4 and --with-report report.pdf, listed as\n"
      << "                                         derived;\n"
      << "                                         all or nothing: a failure leaves no file\n"
      << "       qmxplayer FILE --export-bookmarks OUT.csv\n"
      << "                                         write the bookmarks kept for the recording\n"
      << "                                         (position, centis, when added, note) as CSV\n"
      << "       qmxplayer --verify DIR [--sources FILE...]\n"
      << "                                         re-hash an evidence package and compare its\n"
      << "                                         clip frames with the sources (derived files\n"
      << "                                         by hash only); exit 0 only\n"
      << "                                         when all holds, 1 on any mismatch\n"
      << "       qmxplayer --extract FILE --from CENTIS --to CENTIS --cameras 1,2,... --out OUT.avi\n"
      << "                                         copy cameras' frames and sound from CENTIS to\n"
      << "                                         CENTIS byte for byte into OUT.avi (OUT-001.avi,\n"
      << "                                         OUT-002.avi, ... per 20 minutes); exit 0 done,\n"
      << "                                         2 unreadable FILE or refused OUT, 1 OUT not\n"
      << "                                         written\n"
      << "       qmxplayer --export-video FILE --from CENTIS --to CENTIS --cameras 1,2,...\n"
      << "                 [--layout quad|single] [--redactions LIST.json] --out OUT.mp4\n"
      << "                                         write the range as H.264 video in MP4 that any\n"
      << "                                         player opens: the cameras in a 2x2 grid (quad)\n"
      << "                                         or the first alone, the overlay's texts and a\n"
      << "                                         caption burned in, the first camera's sound;\n"
      << "                                         --redactions draws a saved redaction list's\n"
      << "                                         shapes over the pictures and names the list in\n"
      << "                                         the caption and the title; exit 0 done,\n"
      << "                                         2 unreadable FILE or LIST, refused OUT, 3 not written\n"
      << "       qmxplayer --report FILE --from CENTIS --to CENTIS --cameras 1,2,... --out REPORT.pdf\n"
      << "                 [--case TEXT] [--examiner TEXT]\n"
      << "                                         write an incident report of the range as a PDF:\n"
      << "                                         case, examiner, the recording's properties, the\n"
      << "                                         range in timeline, local and UTC time, each\n"
      << "                                         camera's picture at the start and at each event,\n"
      << "                                         the map of its track (map source and proxy of the\n"
      << "                                         settings), speed and acceleration graphs, events,\n"
      << "                                         bookmarks, --check findings and the sources'\n"
      << "                                         SHA-256; exit 0 done, 2 unreadable FILE or\n"
      << "                                         refused OUT, 3 not written\n"
      << "       qmxplayer --live HOST[:PORT] --channel N --out OUT.jpg [--overlay] [--wait SECONDS]\n"
      << "                                         save camera N's first live frame from a DVR\n"
      << "                                         unit (port 1234 unless given) as a JPEG\n"
      << "       qmxplayer --map-image FILE --at CENTIS --out MAP.png [--zoom Z]\n"
      << "                                         save the map around the vehicle at CENTIS\n"
      << "                                         hundredths, with its whole track, as a PNG\n"
      << "                                         (zoom 2..20, 15 by default; the map source\n"
      << "                                         and proxy of the settings)\n"
      << "       qmxplayer --index ROOT... [--db FILE|URL] [--jobs N] [--shard K/N]\n"
      << "                                         add the recordings under the ROOT folders to the\n"
      << "                                         fleet library (new or changed ones; files, span,\n"
      << "                                         events, track, quick check, SHA-256); the library\n"
      << "                                         is $XDG_DATA_HOME/qmxplayer/library.sqlite, another\n"
      << "                                         SQLite FILE or a postgresql:// URL; --shard K/N\n"
      << "                                         (K = 0..N-1) takes one of N disjoint parts; exit 0\n"
      << "                                         done, 1 some files not indexed (listed)\n"
      << "       qmxplayer --search [--db FILE|URL] [--event harsh|trigger[:NAME]]\n"
      << "                 [--near LAT,LON,METRES] [--between T1 T2] [--title TEXT] [--findings]\n"
      << "                 [--format csv|json]\n"
      << "                                         the library's matching events, passes of the\n"
      << "                                         place or recordings, each with its first file\n"
      << "                                         and position for qmxplayer FILE --at POS; T1, T2:\n"
      << "                                         2011-03-01T14:05[:09] (DVR local time), with Z or\n"
      << "                                         +HH:MM (UTC), a date, or positions\n"
      << "The modes only read FILE and write UTF-8. A failure prints one line naming\n"
      << "its reason and ends with an exit status:\n"
      << "  0  done\n"
      << "  2  bad command line, or FILE is no usable recording (missing, a folder or\n"
      << "     FIFO, too short, not an AVI, damaged, a position past its end);\n"
      << "     --export-metadata keeps the rows written before a chunk it cannot read;\n"
      << "     or OUT is refused: it is FILE or a file of its run (also by a link or a\n"
      << "     segment name OUT-NNN.avi), or exists as no regular file (a folder, FIFO,\n"
      << "     device); nothing is written then\n"
      << "  3  the output could not be written (standard output or OUT.jpg: a full\n"
      << "     disk, no permission, ...); --live: also \"Can't connect to this device!\";\n"
      << "     --map-image: also when no map could be had (no position, no answer\n"
      << "     from the map source)\n"
      << "  4  --live: connected, but no frame of camera N within SECONDS (default 10)\n"
      << "Speeds are in the window's Units setting (mph unless km/h is chosen; tracks are\n"
      << "always km/h). A DVR clock correction kept for FILE (Video > Clock in the window)\n"
      << "adds a \"Corrected Local Time\" column to --export-metadata and is stated in\n"
      << "tracks and in evidence packages; the recorded times are never changed.\n"
      << "CENTIS, a position on the timeline, is hundredths of a second (1250), seconds\n"
      << "with an s (12.5s) or h:mm:ss[.ff] as the status clock shows it (0:00:12.50);\n"
      << "or the recording's clock time from its metadata, the first frame at or after\n"
      << "it: @HH:MM:SS[.fff] local (@14:05:20), @HH:MM:SS[.fff]Z UTC (@22:05:20.5Z).\n"
      << "Without a mode the player window opens:\n"
      << PlayerWindowUsage();
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit (ulimit -f) a write then fails with EFBIG and is
  // reported and cleaned up like a full disk, instead of the signal ending
  // the player with hidden temporary files left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::cout << "qmxplayer " << PlayerVersion() << "\n";
    return FinishOutput(std::cout, std::cerr);
  }
  const CommandLine line = ParseCommandLine(std::vector<std::string>(argv, argv + argc));
  // Every mode writes speeds in the unit the window shows them in.
  if (SpeedUnit unit; ParseSpeedUnit(ReadSetting(kSpeedUnitSetting), unit)) SetDisplaySpeedUnit(unit);
  // The snapshot mode makes its own (GUI) application object.
  if (line.mode == "--snapshot") return RunSnapshotMode(argc, argv, line);
  if (line.mode == "--live") return RunLiveMode(argc, argv, line);
  if (line.mode == "--map-image") return RunMapImageMode(argc, argv, line);
  if (line.mode == "--export-video") return RunExportVideoMode(argc, argv, line);
  if (line.mode == "--report") return RunReportMode(argc, argv, line);
  if (line.mode == "--export-evidence") return RunExportEvidenceMode(argc, argv, line.modeArgs, std::cerr);
  if (line.mode.empty() || line.mode == "--quad" || line.mode == "--full-screen" || line.mode == "--at" ||
      line.mode == "--screenshot-after") {
    PlayerWindowStart start;
    if (const int status =
            ParseWindowArguments(line, std::vector<std::string>(argv, argv + argc), start, std::cerr))
      return status;
    return RunPlayerWindow(argc, argv, start);
  }
  QCoreApplication app(argc, argv);
  const std::string brand = LoadBrandText(QCoreApplication::applicationDirPath().toStdString());

  if (line.mode == "--info" || line.mode == "--export-metadata") {
    if (line.modeArgs.size() != 1) {
      std::cerr << "usage: qmxplayer " << line.mode << " FILE\n";
      return kExitBadInput;
    }
    return line.mode == "--info" ? RunInfoMode(line.modeArgs[0], std::cout, std::cerr)
                                 : RunExportMetadataMode(line.modeArgs[0], std::cout, std::cerr);
  }
  if (line.mode == "--events") return RunEventsMode(line.modeArgs, std::cout, std::cerr);
  if (line.mode == "--check") return RunCheckMode(line.modeArgs, std::cout, std::cerr);
  if (line.mode == "--export-track") return RunExportTrackMode(line.modeArgs, std::cerr);
  if (line.mode == "--export-bookmarks")
    return RunExportBookmarksMode(std::vector<std::string>(argv + 1, argv + argc), std::cerr);
  if (line.mode == "--verify") return RunVerifyMode(line.modeArgs, std::cout, std::cerr);
  if (line.mode == "--extract") return RunExtractMode(line.modeArgs, std::cout, std::cerr);
  if (line.mode == "--index") return RunIndexMode(line.modeArgs, std::cout, std::cerr);
  if (line.mode == "--search") return RunSearchMode(line.modeArgs, std::cout, std::cerr);
  if (!line.mode.empty() && line.mode != "--help") {
    return ModeFailure(std::cerr, line.mode, "unknown option (qmxplayer --help lists them)", kExitBadInput);
  }
  PrintUsage(std::cout, brand);
  return FinishOutput(std::cout, std::cerr);
}
