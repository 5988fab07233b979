#include "app/search_mode.h"

#include <cmath>
#include <filesystem>
#include <sstream>

#include "app/export_metadata_mode.h"
#include "app/index_mode.h"
#include "app/mode_status.h"
#include "base/mode_arguments.h"
#include "evidence/metadata_csv.h"
#include "evidence/text_escape.h"
#include "evidence/track_points.h"
#include "library/library_store.h"
#include "library/number_text.h"
#include "library/search_time.h"

namespace {

constexpr const char* kSearchUsage =
    "usage: qmxplayer --search [--db FILE|URL] [--event harsh|trigger[:NAME]] [--near LAT,LON,METRES]\n"
    "                          [--between T1 T2] [--title TEXT] [--findings] [--format csv|json]\n";

bool ParseReal(const std::string& text, double& out) {
  const std::optional<double> value = library::ParseDecimal(text);
  if (value) out = *value;
  return value.has_value();
}

bool ParseNear(const std::string& text, library::SearchQuery& q) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  double lat = 0, lon = 0, metres = 0;
  if (parts.size() != 3 || !ParseReal(parts[0], lat) || !ParseReal(parts[1], lon) ||
      !ParseReal(parts[2], metres) || lat < -90 || lat > 90 || lon < -180 || lon > 180 || metres <= 0)
    return false;
  q.nearLatitude = lat, q.nearLongitude = lon, q.nearMetres = metres;
  return true;
}

bool ParseBound(const std::string& text, bool end, library::TimeBound& out) {
  int64_t centis = 0;
  if (ParseCentis(text, centis)) {
    out = {library::TimeBound::Clock::kTimeline, centis};
    return true;
  }
  return library::ParseSearchTime(text, end, out);
}

std::string Utc(const std::optional<int64_t>& ms) {
  return ms ? evidence::Iso8601Utc(*ms) : "";
}
std::string Local(const std::optional<int64_t>& ms) {
  return ms ? library::IsoLocal(*ms) : "";
}
std::string Degrees(const std::optional<double>& d) {
  return d ? library::FixedDecimal(*d, 6) : "";
}

void WriteCsv(const std::vector<library::SearchHit>& hits, std::ostream& out) {
  out << "path,position,utc,local,kind,name,value,latitude,longitude,title,check\r\n";
  for (const library::SearchHit& h : hits) {
    out << evidence::CsvQuoted(h.path) << ',' << h.centis << ',' << Utc(h.utcMillis) << ','
        << Local(h.localMillis) << ',' << h.kind << ',' << evidence::CsvQuoted(h.name) << ','
        << evidence::CsvQuoted(h.value) << ',' << Degrees(h.latitude) << ',' << Degrees(h.longitude) << ','
        << evidence::CsvQuoted(h.title) << ',' << evidence::CsvQuoted(h.checkSummary) << "\r\n";
  }
}

void WriteJson(const std::vector<library::SearchHit>& hits, std::ostream& out) {
  using evidence::JsonString;
  auto text = [](const std::string& s) { return s.empty() ? std::string("null") : JsonString(s); };
  auto number = [](const std::optional<double>& d) {
    return d ? library::FixedDecimal(*d, 6) : std::string("null");
  };
  out << "[";
  for (std::size_t i = 0; i < hits.size(); ++i) {
    const library::SearchHit& h = hits[i];
    out << (i ? ",\n " : "\n ") << "{\"path\": " << JsonString(h.path) << ", \"position\": " << h.centis
        << ", \"utc\": " << text(Utc(h.utcMillis)) << ", \"local\": " << text(Local(h.localMillis))
        << ", \"kind\": " << JsonString(h.kind) << ", \"name\": " << text(h.name)
        << ", \"value\": " << text(h.value) << ", \"latitude\": " << number(h.latitude)
        << ", \"longitude\": " << number(h.longitude) << ", \"title\": " << JsonString(h.title)
        << ", \"check\": " << JsonString(h.checkSummary) << "}";
  }
  out << (hits.empty() ? "]\n" : "\n]\n");
}

}  // namespace

int RunSearchMode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  library::SearchQuery q;
  std::string db, format = "csv";
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--db" && hasValue) {
      db = args[++i];
    } else if (a == "--event" && hasValue) {
      const std::string v = args[++i];
      const std::string kind = v.substr(0, v.find(':'));
      if ((kind != "harsh" && kind != "trigger") || (kind == "harsh" && v != kind))
        return ModeFailure(err, "--event", "wants harsh, trigger or trigger:NAME", kExitBadInput);
      q.eventKind = kind;
      if (v.size() > kind.size()) q.eventName = v.substr(kind.size() + 1);
    } else if (a == "--near" && hasValue) {
      if (!ParseNear(args[++i], q))
        return ModeFailure(err, "--near", "wants LAT,LON,METRES in decimal degrees and metres",
                           kExitBadInput);
    } else if (a == "--between" && i + 2 < args.size()) {
      library::TimeBound from, to;
      if (!ParseBound(args[i + 1], false, from) || !ParseBound(args[i + 2], true, to))
        return ModeFailure(err, "--between",
                           "wants two times: 2011-03-01T14:05[:09][Z|+HH:MM], 2011-03-01, or positions "
                           "(1250, 12.5s, 0:00:12.50)",
                           kExitBadInput);
      q.from = from, q.to = to;
      i += 2;
    } else if (a == "--title" && hasValue) {
      q.title = args[++i];
    } else if (a == "--findings") {
      q.findings = true;
    } else if (a == "--format" && hasValue && (args[i + 1] == "csv" || args[i + 1] == "json")) {
      format = args[++i];
    } else {
      err << kSearchUsage;
      return kExitBadInput;
    }
  }
  const std::string where = LibraryLocation(db);
  std::error_code ec;
  if (!library::IsPostgresUrl(where) && !std::filesystem::is_regular_file(where, ec))
    return ModeFailure(err, where, "no library here (qmxplayer --index ROOT... makes it)", kExitBadInput);
  std::vector<library::SearchHit> hits;
  try {
    library::LibraryStore store(library::OpenSqlConnection(where));
    hits = store.Search(q);
  } catch (const library::SqlError& e) {
    return ModeFailure(err, where, e.what(), kExitBadInput);
  }
  if (format == "json")
    WriteJson(hits, out);
  else
    WriteCsv(hits, out);
  return FinishOutput(out, err);
}
