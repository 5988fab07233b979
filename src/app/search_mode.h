#pragma once

#include <ostream>
#include <string>
#include <vector>

// `qmxplayer --search [--db URL] [--event harsh|trigger[:NAME]]
// [--near LAT,LON,METRES] [--between T1 T2] [--title TEXT] [--findings]
// [--format csv|json]`: what the fleet library holds that matches, on
// `out`. With --event, the events; else with --near, each recording's
// moment closest to the place; else the recordings. Every row names the
// recording's first file and the timeline position (hundredths) that
// `qmxplayer FILE --at POS` opens. T1 and T2 are ISO dates with times, on
// the DVR's local clock or UTC ("Z", "+01:00"), or positions on each
// recording's timeline as the other modes take them.
//
// Exit status: 0 (also when nothing matches); 2 bad command line or no
// library; 3 `out` can't be written.
int RunSearchMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
