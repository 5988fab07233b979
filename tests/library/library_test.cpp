// The fleet library through its real parts: a generated tree of 40
// recordings (numbered runs, date-stamped groups, two vehicles, scripted
// harsh motion and triggers, routes crossing one corner at known times, a
// cut-short file, a garbage file), indexed and searched with the real
// qmxplayer into SQLite files and into a PostgreSQL server the test starts.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "config_home.h"
#include "library/library_store.h"
#include "library/search_time.h"
#include "library/sql_connection.h"
#include "postgres_server.h"
#include "run_command.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

const std::string kPlayer = QMX_APP_DIR "/qmxplayer";
const std::string kRecgen = QMX_TOOLS_DIR "/recgen";
constexpr int64_t kBaseUtc = 1700000000;  // 2023-11-14T22:13:20Z; recording i starts 10 minutes after i-1
constexpr double kCornerLat = 49.2, kCornerLon = -122.6;

struct Planned {
  const char* vehicle;    // "42" or "7"
  char shape;             // 's' one 8 s file, 'r' a run of three 4 s files, 'g' a group of three 4 s files
  int crossAt;            // second of the timeline at the corner; -1: drives elsewhere
  const char* incidents;  // recgen --incidents
};

// Recording i of the tree.
const std::vector<Planned> kPlan = [] {
  std::vector<Planned> p = {
      {"42", 's', 3, "x:-6@2"}, {"42", 's', -1, "calm"}, {"42", 'r', 6, "x:-7@9"}, {"42", 'g', 5, "t:4@3-4"},
      {"42", 's', -1, "y:5@4"}, {"42", 'r', -1, "calm"}, {"42", 'g', 7, "calm"},   {"42", 's', 4, "calm"},
  };
  for (int i = 8; i < 20; ++i)
    p.push_back({"42", i == 14 || i == 17 ? 'r' : i == 15 ? 'g' : 's', -1, "calm"});
  const std::vector<Planned> seven = {
      {"7", 's', 3, "x:-6@2"}, {"7", 'r', 8, "calm"},  {"7", 'g', -1, "t:4@1-2"},
      {"7", 's', 2, "calm"},   {"7", 'r', -1, "calm"}, {"7", 'g', -1, "calm"},
  };
  p.insert(p.end(), seven.begin(), seven.end());
  for (int i = 26; i < 40; ++i) p.push_back({"7", 's', -1, "calm"});
  return p;
}();
constexpr std::size_t kCutShort = 39;  // its file is cut to 40 % of its bytes

int SecondsOf(const Planned& p) {
  return p.shape == 's' ? 8 : 12;
}

std::string IsoUtc(int64_t seconds) {
  const std::time_t t = std::time_t(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

// The DVR's local clock runs 8 hours behind UTC in the generated files.
std::string IsoLocal(int64_t utcSeconds) {
  std::string text = IsoUtc(utcSeconds - 8 * 3600);
  text.pop_back();
  return text;
}

class GeneratedFleet {
 public:
  GeneratedFleet() {
    for (std::size_t i = 0; i < kPlan.size(); ++i) Write(i);
    // Not recordings: a file of noise and one too short to hold anything.
    std::ofstream(Root() + "/bus7/singles/zz_garbage.avi") << std::string(9000, '\x5a');
    std::ofstream(Root() + "/bus7/singles/tiny.avi") << "RIFF";
  }
  std::string Root() const { return (dir_.path() / "fleet").string(); }
  // Recording i's first file, from the root ("bus42/runs/R02-001.avi").
  const std::string& First(std::size_t i) const { return first_.at(i); }
  std::string FileOf(std::size_t i, int n) const { return files_.at(i).at(std::size_t(n)); }

 private:
  void Write(std::size_t i) {
    const Planned& p = kPlan[i];
    const std::string sub = std::string("bus") + p.vehicle + "/" +
                            (p.shape == 's'   ? "singles"
                             : p.shape == 'r' ? "runs"
                                              : "groups");
    const std::string folder = Root() + "/" + sub;
    fs::create_directories(folder);
    std::string route = "49.3,-122.7@0;49.31,-122.7@12";
    if (p.crossAt > 0) {
      char text[128];
      std::snprintf(text, sizeof text, "%.4f,%.1f@0;%.4f,%.1f@%d;%.4f,%.1f@%d", kCornerLat - 0.001,
                    kCornerLon, kCornerLat, kCornerLon, p.crossAt, kCornerLat + 0.001, kCornerLon,
                    2 * p.crossAt);
      route = text;
    }
    char name[16];
    std::snprintf(name, sizeof name, "%c%02d",
                  p.shape == 's'   ? 's'
                  : p.shape == 'r' ? 'R'
                                   : 'G',
                  int(i % 100));
    const std::string options = " --size 320x240 --fps 5 --quality 40 --title " +
                                ShellQuote("Bus " + std::string(p.vehicle)) + " --start-utc " +
                                std::to_string(kBaseUtc + int64_t(i) * 600) + " --incidents " + p.incidents +
                                " --route " + ShellQuote(route);
    std::vector<std::string> written;
    int status = -1;
    if (p.shape == 's') {
      written = {folder + "/" + name + (i == kCutShort ? "_cut.avi" : ".avi")};
      RunCommand(kRecgen + " write " + ShellQuote(written[0]) + " --seconds 8" + options, &status);
      if (i == kCutShort) fs::resize_file(written[0], fs::file_size(written[0]) * 4 / 10);
    } else if (p.shape == 'r') {
      RunCommand(kRecgen + " sequence " + ShellQuote(folder) + " " + name + " 3 --seconds 4" + options,
                 &status);
      for (int n = 1; n <= 3; ++n)
        written.push_back(folder + "/" + name + "-00" + std::to_string(n) + ".avi");
    } else {
      std::stringstream out(RunCommand(kRecgen + " group " + ShellQuote(folder) + " --prefix " + name +
                                           " --continuations 2 --seconds 4" + options,
                                       &status));
      for (std::string line; std::getline(out, line);) written.push_back(line);
    }
    if (status != 0 || written.empty())
      throw std::runtime_error("recgen failed for recording " + std::to_string(i));
    first_.push_back(written[0].substr(Root().size() + 1));
    files_.push_back(written);
  }

  TempDir dir_;
  std::vector<std::string> first_;
  std::vector<std::vector<std::string>> files_;
};

GeneratedFleet& Fleet() {
  static GeneratedFleet fleet;
  return fleet;
}

PostgresServer* Server() {
  static std::unique_ptr<PostgresServer> server = [] {
    if (PostgresServer::BinaryFolder().empty()) return std::unique_ptr<PostgresServer>();
    return std::make_unique<PostgresServer>();
  }();
  return server.get();
}

// Skips the test where the server can't be had: only when its binaries are absent.
#define REQUIRE_POSTGRES()                                                                                   \
  if (!Server())                                                                                             \
    GTEST_SKIP() << "PostgreSQL server binaries (initdb, pg_ctl) not installed; apt-get install postgresql"; \
  ASSERT_TRUE(Server()->Error().empty()) << Server()->Error()

std::string Player(const std::string& args, int* status = nullptr) {
  return RunCommand(kPlayer + " " + args + " 2>/dev/null", status);
}

std::string Index(const std::string& db, const std::string& extra = "", int* status = nullptr) {
  return Player("--index " + ShellQuote(Fleet().Root()) + " --db " + ShellQuote(db) + " " + extra, status);
}

// The rows of a --search as "FIRST-FILE POSITION KIND NAME VALUE", paths from the root.
std::vector<std::string> Search(const std::string& db, const std::string& args) {
  int status = -1;
  std::stringstream csv(Player("--search --db " + ShellQuote(db) + " " + args, &status));
  EXPECT_EQ(status, 0) << args;
  std::vector<std::string> rows;
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line, "path,position,utc,local,kind,name,value,latitude,longitude,title,check\r");
  while (std::getline(csv, line)) {
    std::vector<std::string> f;
    std::stringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
    if (f.size() < 7) {
      rows.push_back("bad row: " + line);
      continue;
    }
    const std::string path =
        f[0].rfind(Fleet().Root() + "/", 0) == 0 ? f[0].substr(Fleet().Root().size() + 1) : f[0];
    rows.push_back(path + " " + f[1] + " " + f[4] + " " + f[5] + " " + f[6]);
  }
  return rows;
}

std::string Row(std::size_t i, int centis, const std::string& rest) {
  return Fleet().First(i) + " " + std::to_string(centis) + " " + rest;
}

// Every row of the library's tables in a fixed order, for comparing libraries.
std::string Dump(const std::string& db) {
  auto c = library::OpenSqlConnection(db);
  std::string text;
  for (const char* sql : {"SELECT * FROM recordings ORDER BY id", "SELECT * FROM files ORDER BY path",
                          "SELECT * FROM events ORDER BY recording_id, centis, kind, name",
                          "SELECT * FROM track ORDER BY recording_id, centis"}) {
    for (const library::SqlRow& row : c->Run(sql)) {
      for (const auto& v : row) text += (v ? *v : "NULL") + "|";
      text += "\n";
    }
  }
  return text;
}

int64_t Count(const std::string& db, const std::string& table) {
  return std::stoll(*library::OpenSqlConnection(db)->Run("SELECT COUNT(*) FROM " + table).at(0).at(0));
}

class LibraryBackends : public ::testing::TestWithParam<std::string> {
 protected:
  std::string NewLibrary(const std::string& name) {
    if (GetParam() == "sqlite") return (dir_.path() / (name + ".sqlite")).string();
    return Server()->CreateDatabase(name);
  }
  TempDir dir_;
};

TEST_P(LibraryBackends, IndexesEveryRecordingOnceFindsExactlyTheScriptedOnesAndReindexesOnlyWhatChanged) {
  if (GetParam() == "postgresql") {
    REQUIRE_POSTGRES();
  }
  const std::string db = NewLibrary("fleet");
  int status = -1;
  const std::string first = Index(db, "--jobs 2", &status);
  EXPECT_EQ(status, 1) << "the garbage and the empty file are listed";
  EXPECT_NE(first.find("41 recordings found, 40 indexed, 0 unchanged, 2 not indexed"), std::string::npos)
      << first;
  EXPECT_NE(first.find("not indexed: " + Fleet().Root() + "/bus7/singles/zz_garbage.avi: not an AVI file"),
            std::string::npos)
      << first;
  EXPECT_NE(first.find("not indexed: " + Fleet().Root() + "/bus7/singles/tiny.avi: 4000 bytes or less"),
            std::string::npos)
      << first;

  // Each recording once, with the span its files were written with.
  auto connection = library::OpenSqlConnection(db);
  std::map<std::string, std::vector<std::string>> spans;
  for (const library::SqlRow& row :
       connection->Run("SELECT r.first_path, r.start_utc_ms, r.end_utc_ms, r.duration_centis, r.title,"
                       " (SELECT COUNT(*) FROM files f WHERE f.recording_id = r.id) FROM recordings r"))
    spans[row[0]->substr(Fleet().Root().size() + 1)] = {*row[1], *row[2], *row[3], *row[4], *row[5]};
  ASSERT_EQ(spans.size(), kPlan.size());
  for (std::size_t i = 0; i < kPlan.size(); ++i) {
    const int64_t start = (kBaseUtc + int64_t(i) * 600) * 1000;
    const int seconds = SecondsOf(kPlan[i]);
    const std::vector<std::string>& s = spans[Fleet().First(i)];
    ASSERT_EQ(s.size(), 5u) << Fleet().First(i);
    EXPECT_EQ(s[0], std::to_string(start)) << Fleet().First(i);
    if (i != kCutShort) {
      EXPECT_EQ(s[1], std::to_string(start + seconds * 1000 - 200)) << Fleet().First(i);
      EXPECT_EQ(s[2], std::to_string(seconds * 100)) << Fleet().First(i);
    }
    EXPECT_EQ(s[3], std::string("Bus ") + kPlan[i].vehicle);
    EXPECT_EQ(s[4], kPlan[i].shape == 's' ? "1" : "3");
  }
  // Every file's SHA-256 as an independent reader has it, the cut-short file's too.
  std::string paths;
  std::map<std::string, std::string> hashes;
  for (const library::SqlRow& row : connection->Run("SELECT path, sha256 FROM files")) {
    paths += " " + ShellQuote(*row[0]);
    hashes[*row[0]] = *row[1];
  }
  std::stringstream sums(RunCommand("sha256sum" + paths));
  std::map<std::string, std::string> expected;
  for (std::string hex, path; sums >> hex >> path;) expected[path] = hex;
  EXPECT_GE(hashes.size(), kPlan.size());
  EXPECT_TRUE(hashes == expected) << "the library's hashes are not the files'";

  const std::string corner = "--near 49.2,-122.6,40";
  const struct {
    std::string args;
    std::vector<std::string> rows;
  } searches[] = {
      {"--event harsh --title 'bus 42'",
       {Row(0, 200, "harsh X -0.6"), Row(2, 900, "harsh X -0.7"), Row(4, 400, "harsh Y +0.5")}},
      {"--event trigger:siren", {Row(22, 100, "trigger Siren on"), Row(3, 300, "trigger Siren on")}},
      {corner + " --between " + IsoUtc(kBaseUtc + 2 * 600) + " " + IsoUtc(kBaseUtc + 21 * 600 + 100),
       {Row(2, 600, "pass  "), Row(3, 500, "pass  "), Row(6, 700, "pass  "), Row(7, 400, "pass  "),
        Row(20, 300, "pass  "), Row(21, 800, "pass  ")}},
      {"--event harsh " + corner + " --between " + IsoUtc(kBaseUtc) + " " + IsoUtc(kBaseUtc + 60),
       {Row(0, 200, "harsh X -0.6")}},
      {"--title 'Bus 7' --between " + IsoLocal(kBaseUtc + 24 * 600 + 5) + " " + IsoLocal(kBaseUtc + 26 * 600),
       {Row(24, 500, "recording  "), Row(25, 0, "recording  "), Row(26, 0, "recording  ")}},
      {"--findings", {Row(kCutShort, 0, "recording  ")}},
  };
  for (const auto& s : searches) {
    std::vector<std::string> rows = Search(db, s.args), want = s.rows;
    std::sort(rows.begin(), rows.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(rows, want) << s.args;
  }

  const std::string before = Dump(db);
  // Read on two workers and written in batches, or one at a time: the same rows.
  const std::string oneJob = NewLibrary("one_job");
  Index(oneJob, "--jobs 1");
  EXPECT_TRUE(Dump(oneJob) == before) << "two jobs wrote other rows than one";
  const std::string second = Index(db);
  EXPECT_NE(second.find("41 recordings found, 0 indexed, 40 unchanged, 2 not indexed"), std::string::npos)
      << second;
  EXPECT_TRUE(Dump(db) == before) << "a second run changed the library";

  // A newer modification time on one file of a run: only its recording is read again.
  const std::string touched = Fleet().FileOf(5, 1);
  static std::time_t touches = 0;  // each backend's run gives the shared file a time of its own
  const timespec times[2] = {{0, UTIME_OMIT}, {std::time_t(kBaseUtc) + 1000 + ++touches, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, touched.c_str(), times, 0), 0);
  const std::string third = Index(db);
  EXPECT_NE(third.find("1 indexed, 39 unchanged"), std::string::npos) << third;
  const std::string after = Dump(db);
  EXPECT_TRUE(after != before) << "the touched file's time is not in the library";
  EXPECT_EQ(after.size(), before.size()) << "the recording's rows were replaced, not added to";
  EXPECT_EQ(Count(db, "recordings"), 40);

  // A recording that leaves its root is taken out; those under other roots stay.
  const std::string extra = (dir_.path() / "extra").string(), file = extra + "/late.avi";
  fs::create_directories(extra);
  RunCommand(kRecgen + " write " + ShellQuote(file) + " --size 320x240 --fps 5 --seconds 2 >/dev/null");
  const std::string indexExtra = "--index " + ShellQuote(extra) + " --db " + ShellQuote(db);
  EXPECT_NE(Player(indexExtra).find("1 recordings found, 1 indexed"), std::string::npos);
  EXPECT_EQ(Count(db, "recordings"), 41);
  fs::remove(file);
  const std::string gone = Player(indexExtra);
  EXPECT_NE(gone.find("0 recordings found, 0 indexed, 0 unchanged, 0 not indexed, 1 gone and taken out"),
            std::string::npos)
      << gone;
  EXPECT_TRUE(Dump(db) == after) << "only the gone recording's rows were taken out";
}

INSTANTIATE_TEST_SUITE_P(Backends, LibraryBackends, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

TEST(LibraryShards, FourWorkersAtOnceAndAKilledRestartedOneGiveTheRowsOfOneWorker) {
  REQUIRE_POSTGRES();
  const std::string one = Server()->CreateDatabase("one_worker"),
                    four = Server()->CreateDatabase("four_workers"),
                    killed = Server()->CreateDatabase("killed_worker");
  Index(one, "--jobs 1");
  ASSERT_EQ(Count(one, "recordings"), 40);

  std::string workers;
  for (int k = 0; k < 4; ++k)
    workers += kPlayer + " --index " + ShellQuote(Fleet().Root()) + " --db " + ShellQuote(four) +
               " --shard " + std::to_string(k) + "/4 --jobs 1 >/dev/null 2>&1 & ";
  RunCommand(workers + "wait");
  EXPECT_TRUE(Dump(four) == Dump(one)) << "four shards differ from one worker";

  // Killed once it has written its first recording, then run again.
  FILE* worker = ::popen(("echo $$; exec " + kPlayer + " --index " + ShellQuote(Fleet().Root()) + " --db " +
                          ShellQuote(killed) + " --jobs 1 2>&1")
                             .c_str(),
                         "r");
  ASSERT_NE(worker, nullptr);
  char line[4096];
  ASSERT_NE(std::fgets(line, sizeof line, worker), nullptr);
  const pid_t pid = pid_t(std::atoi(line));
  bool started = false;
  while (!started && std::fgets(line, sizeof line, worker))
    started = std::string(line).rfind("indexing 2/", 0) == 0;
  ::kill(pid, SIGKILL);
  ::pclose(worker);
  ASSERT_TRUE(started);
  const int64_t partial = Count(killed, "recordings");
  EXPECT_GT(partial, 0);
  EXPECT_LT(partial, 40);
  const std::string resumed = Index(killed);
  EXPECT_NE(
      resumed.find(std::to_string(40 - partial) + " indexed, " + std::to_string(partial) + " unchanged"),
      std::string::npos)
      << resumed;
  EXPECT_TRUE(Dump(killed) == Dump(one)) << "the resumed library differs from one worker's";
}

TEST(LibrarySearchTimes, IsoDatesOnTheLocalOrTheUtcClock) {
  using Clock = library::TimeBound::Clock;
  const struct {
    const char* text;
    bool end;
    bool ok;
    Clock clock;
    int64_t value;
  } cases[] = {
      {"2023-11-14T22:13:20Z", false, true, Clock::kUtc, 1700000000000},
      {"2023-11-14 14:13:20.5", false, true, Clock::kLocal, 1699971200500},
      {"2023-11-14T23:13+01:00", false, true, Clock::kUtc, 1700000000000 - 20000},
      {"2023-11-14T14:13:20-0800", false, true, Clock::kUtc, 1700000000000},
      {"2023-11-14", false, true, Clock::kLocal, 1699920000000},
      {"2023-11-14", true, true, Clock::kLocal, 1699920000000 + 86399999},
      {"2023-11-14T25:00", false, false, Clock::kLocal, 0},
      {"2023-11-14T14:13:20.1234", false, false, Clock::kLocal, 0},
      {"2023-11-14T14:13Zx", false, false, Clock::kLocal, 0},
      {"14:13", false, false, Clock::kLocal, 0},
  };
  for (const auto& c : cases) {
    library::TimeBound b;
    ASSERT_EQ(library::ParseSearchTime(c.text, c.end, b), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(b.clock, c.clock) << c.text;
    EXPECT_EQ(b.value, c.value) << c.text;
  }
}

TEST(LibrarySchema, ALibraryOfANewerSchemaIsRefusedInOneLineAndAnOlderOneMigrated) {
  TempDir dir;
  const std::string newer = (dir / "newer.sqlite").string(), older = (dir / "older.sqlite").string();
  library::OpenSqlConnection(newer)->Run("CREATE TABLE schema_version (version BIGINT NOT NULL)");
  library::OpenSqlConnection(newer)->Run("INSERT INTO schema_version VALUES (99)");
  library::OpenSqlConnection(older)->Run("CREATE TABLE schema_version (version BIGINT NOT NULL)");
  int status = -1;
  const std::string refused = RunCommand(kPlayer + " --search --db " + ShellQuote(newer) + " 2>&1", &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(refused, "qmxplayer: " + newer + ": library of schema 99 is newer than this qmxplayer (1)\n");
  EXPECT_EQ(RunCommand(kPlayer + " --search --db " + ShellQuote(older) + " 2>&1", &status),
            "path,position,utc,local,kind,name,value,latitude,longitude,title,check\r\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(library::LibraryStore(library::OpenSqlConnection(older)).SchemaVersion(),
            library::kSchemaVersion);
}

TEST(LibraryForeignFiles, RecordingsOtherProgramsWroteAreIndexedWithoutASpan) {
  TempDir dir;
  const std::string folder = (dir / "other").string(), db = (dir / "l.sqlite").string();
  fs::create_directories(folder);
  int ffmpeg = -1, avimux = -1;
  RunCommand("ffmpeg -loglevel error -f lavfi -i testsrc=size=320x240:rate=5 -t 3 -c:v mjpeg " +
                 ShellQuote(folder + "/ffmpeg.avi") + " 2>&1",
             &ffmpeg);
  RunCommand(
      "gst-launch-1.0 -q videotestsrc num-buffers=15 ! video/x-raw,width=320,height=240,framerate=5/1 ! "
      "jpegenc ! avimux ! filesink location=" +
          ShellQuote(folder + "/avimux.avi") + " 2>&1",
      &avimux);
  ASSERT_EQ(ffmpeg, 0);
  ASSERT_EQ(avimux, 0);
  int status = -1;
  const std::string out = Player("--index " + ShellQuote(folder) + " --db " + ShellQuote(db), &status);
  EXPECT_EQ(status, 0) << out;
  std::vector<std::string> rows;
  for (const library::SqlRow& row : library::OpenSqlConnection(db)->Run(
           "SELECT first_path, title, start_utc_ms IS NULL, duration_centis, check_summary FROM recordings"
           " ORDER BY first_path"))
    rows.push_back(fs::path(*row[0]).filename().string() + " " + *row[1] + " " + *row[2] + " " + *row[3] +
                   " " + *row[4]);
  EXPECT_EQ(rows, (std::vector<std::string>{"avimux.avi Unknown DVR 1 300 clean",
                                            "ffmpeg.avi Unknown DVR 1 300 clean"}));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new PrivateConfigHome);
  return RUN_ALL_TESTS();
}
