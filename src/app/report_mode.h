#pragma once

#include "app/command_line.h"

// `qmxplayer --report FILE --from CENTIS --to CENTIS --cameras 1,2,...
// --out REPORT.pdf [--case TEXT] [--examiner TEXT]`: an incident report of
// the range of FILE's timeline as a PDF: the case and examiner, the
// recording's properties, the range in timeline, local and UTC time, each
// chosen camera's picture at the start and at each event of the range, the
// range's map (from the map caches or the map source of the settings; a
// note when none can be had), speed and acceleration graphs, the events,
// the bookmarks, the integrity check's findings of the range and the
// SHA-256 of the source files. FILE is only read; REPORT.pdf appears only
// when complete. Exit status: 0 done; 2 a bad command line, FILE unreadable
// or not covering the range, or REPORT.pdf refused; 3 it could not be
// written (or the report was cancelled by SIGINT/SIGTERM).
int RunReportMode(int argc, char** argv, const CommandLine& line);
