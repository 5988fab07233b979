// Runs the qmxplayer executable on generated recordings, as users run it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>

#include "app/export_metadata_mode.h"
#include "evidence/metadata_csv.h"
#include "expected_metadata.h"
#include "metadata/metadata_decoder.h"
#include "metadata/trigger_names.h"
#include "metadata/windows1252.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

struct PlayerRun {
  int status = -1;
  std::string out, err;
};

// `args` may end in a redirection of stdout. A run that blocks is ended by
// `timeout` (status 124) instead of hanging the suite.
PlayerRun RunPlayer(const std::string& args, const TempDir& dir) {
  const std::string errPath = (dir / "stderr.txt").string();
  const std::string command =
      "timeout 60 " + std::string(QMX_APP_DIR) + "/qmxplayer " + args + " 2>" + errPath;
  PlayerRun run;
  run.out = RunCommand(command, &run.status);
  std::ifstream err(errPath);
  run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return run;
}

std::map<std::string, std::string> InfoLines(const std::string& out) {
  std::map<std::string, std::string> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    const auto colon = line.find(": ");
    if (colon != std::string::npos) lines[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return lines;
}

// Splits CSV rows (CRLF) into fields; handles the quoting the exporter uses.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        rows.back().back() += '"', ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        rows.back().back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      rows.emplace_back(1);
    } else {
      rows.back().back() += c;
    }
  }
  if (rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
  return rows;
}

// The texts the decoder gives for a record, by label.
std::map<std::string, std::string> DecodedTexts(const MetadataSample& sample) {
  struct Collect : CMetadataInterface {
    std::map<std::string, std::string> texts;
    void OnMetadata(const char*, const char* label, const char* text) override { texts[label] = text; }
  } collect;
  uint8_t bytes[kMetadataSampleBytes];
  PackMetadataSample(sample, bytes);
  MetadataDecoder decoder("x", DvrLayout::kFourChannel);
  decoder.SetListener(0, &collect);
  decoder.ParseMetadataSample(bytes, sizeof bytes);
  return collect.texts;
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A failed run says exactly one line on stderr, "qmxplayer: SUBJECT: ...",
// naming its subject once and giving `reason`.
void ExpectOneLineNaming(const PlayerRun& run, const std::string& subject, const std::string& reason,
                         const std::string& what) {
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << what << ": " << run.err;
  EXPECT_EQ(run.err.rfind("qmxplayer: " + subject + ": ", 0), 0u) << what << ": " << run.err;
  EXPECT_EQ(Occurrences(run.err, subject), 1u) << what << ": " << run.err;
  EXPECT_NE(run.err.find(reason), std::string::npos) << what << ": " << run.err;
}

class QmxplayerModes : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, recgen::RecordingOptions options) {
    std::string error;
    const auto path = dir_ / name;
    EXPECT_TRUE(recgen::WriteRecording(path, options, error)) << error;
    return path.string();
  }
  // The `--info` lines of `path`; the run must succeed and leave the file
  // byte for byte as it was.
  std::map<std::string, std::string> Info(const std::string& path) {
    const std::string before = ReadAll(path);
    const PlayerRun run = RunPlayer("--info " + path, dir_);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadAll(path), before);
    return InfoLines(run.out);
  }
  static recgen::RecordingOptions Short() {
    recgen::RecordingOptions o;
    o.seconds = 0.3;
    o.fps = 10;
    return o;
  }
  TempDir dir_;
};

TEST_F(QmxplayerModes, InfoOfAFourChannelRecording) {
  recgen::RecordingOptions o = Short();
  o.video = {true, false, true, true};
  o.audio = {true, false, false, true};
  o.title = "Caf\xE9 DVR";  // Windows-1252 in the file, UTF-8 in the output
  auto info = Info(Write("four.avi", o));
  EXPECT_EQ(info["DVR Version"], "4CH DVR v2.13");
  EXPECT_EQ(info["DVR Type"], "4 Channel DVR");
  EXPECT_EQ(info["GPS Info"], "GPS Enabled");
  EXPECT_EQ(info["Trigger Labels"],
            "Brake,Left Turn,Right Turn,Lights,Siren,Door,Reverse,Panic,Aux 1, Aux 2, Ignition");
  EXPECT_EQ(info["Video Type"], "MJPG Video Source");
  EXPECT_EQ(info["Channel 1 Video Resolution"], "720x480, 10.00 fps");
  EXPECT_EQ(info["Channel 2 Video Resolution"], "N/A");
  EXPECT_EQ(info["Channel 3 Video Resolution"], "720x480, 10.00 fps");
  EXPECT_EQ(info["Channel 1 Audio"], "Audio Enabled");
  EXPECT_EQ(info["Channel 4 Bitrate"], "1920 kbit/s");
  EXPECT_EQ(info["DVR Title"], "Caf\xC3\xA9 DVR");
  EXPECT_EQ(info["DVR Kind"], "0");
  EXPECT_EQ(info["H264"], "no");
  EXPECT_EQ(info.count("Header Correction"), 0u);
  EXPECT_EQ(info["Video Size"], "0 mb");
}

TEST_F(QmxplayerModes, InfoReportsButNeverMakesTheHeaderCorrection) {
  recgen::RecordingOptions o = Short();
  o.oneStreamHeader = true;
  o.h264 = true;
  auto info = Info(Write("old.avi", o));
  EXPECT_EQ(info["Header Correction"], "needed");
  EXPECT_EQ(info["H264"], "yes");
  EXPECT_EQ(info["Video Type"], "H264 Video Source");
}

TEST_F(QmxplayerModes, InfoOfTwoChannelKindsAndAnEndBlock) {
  for (int kind = 1; kind <= 3; ++kind) {
    recgen::RecordingOptions o = Short();
    o.kind = kind;
    o.header380 = kind == 1;
    o.configAtEnd = true;
    o.title = "Van " + std::to_string(kind);
    auto info = Info(Write("two.avi", o));
    EXPECT_EQ(info["DVR Type"], "2 Channel DVR") << kind;
    EXPECT_EQ(info["DVR Kind"], std::to_string(kind));
    // The block at the end keeps the blank before the title.
    EXPECT_EQ(info["DVR Title"], " Van " + std::to_string(kind));
    EXPECT_EQ(info["Trigger Labels"].substr(0, 16), "Brake,Left Turn,");
  }
}

TEST_F(QmxplayerModes, ExportMatchesTheRecordedMetadata) {
  recgen::RecordingOptions o = Short();
  o.video = {false, true, false, true};
  o.meta = recgen::MetaPlacement::kBoth;
  const std::string path = Write("meta.avi", o);
  const PlayerRun run = RunPlayer("--export-metadata " + path, dir_);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = ParseCsv(run.out);
  const std::vector<std::string> header = {"channel",        "frame",          "UTC Time",       "Local Time",
                                           "GPS Sat Count",  "Latitude",       "Longitude",      "Speed",
                                           "X Acceleration", "Y Acceleration", "Z Acceleration", "Triggers"};
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], header);
  const int64_t frames = recgen::FrameCount(o);
  ASSERT_EQ(rows.size(), std::size_t(1 + 3 * frames));
  // The names of triggers 10 and 11 keep the blank after their two-digit number.
  TriggerNameList names;
  const auto recorded = recgen::EffectiveTriggerNames(o);
  for (int i = 0; i < kTriggerCount; ++i) names[i] = (i >= 9 ? " " : "") + recorded.at(i);
  SetTriggerNames(names);
  std::map<std::string, int64_t> next;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const auto& row = rows[r];
    ASSERT_EQ(row.size(), header.size());
    const std::string& channel = row[0];
    ASSERT_TRUE(channel == "2" || channel == "4" || channel == "meta") << channel;
    EXPECT_EQ(row[1], std::to_string(next[channel]++));
    const int recgenChannel = channel == "meta" ? 0 : std::stoi(channel);
    const auto expected = DecodedTexts(recgen::ExpectedMetadata(o, recgenChannel, std::stoll(row[1])));
    for (std::size_t c = 2; c < header.size(); ++c) EXPECT_EQ(row[c], expected.at(header[c])) << header[c];
  }
  EXPECT_EQ(rows[1][2], "3-1-2011  14:05:09.000");
  // The file's own trigger names replace the defaults.
  bool sawTrigger = false;
  for (std::size_t r = 1; r < rows.size(); ++r) sawTrigger |= rows[r][11].find("Brake") != std::string::npos;
  EXPECT_TRUE(sawTrigger);
  ResetTriggerNamesToDefaults();
}

TEST_F(QmxplayerModes, ExportOfTextLineRecordings) {
  for (auto placement : {recgen::TextLines::kA, recgen::TextLines::kB}) {
    recgen::RecordingOptions o = Short();
    o.kind = 1;
    o.header380 = true;
    o.textLines = placement;
    const std::string path = Write("lines.avi", o);
    const PlayerRun run = RunPlayer("--export-metadata " + path, dir_);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = ParseCsv(run.out);
    ASSERT_EQ(rows.size(), std::size_t(1 + recgen::FrameCount(o)));
    EXPECT_EQ(rows[0], (std::vector<std::string>{"channel", "frame", "Line1", "Line2", "Line3"}));
    for (std::size_t r = 1; r < rows.size(); ++r) {
      const auto lines = recgen::ExpectedTextLines(o, 1, int64_t(r - 1));
      EXPECT_EQ(rows[r][0], "1");
      // The DVR's Windows-1252 degree sign (0xB0) comes out in UTF-8.
      EXPECT_EQ(rows[r][2], Utf8FromWindows1252(lines[0]));
      EXPECT_EQ(rows[r][4], Utf8FromWindows1252(lines[2]));
      EXPECT_NE(rows[r][4].find("\xC2\xB0"), std::string::npos) << rows[r][4];
    }
  }
}

TEST_F(QmxplayerModes, DamagedFilesNeverCrash) {
  const std::string good = ReadAll(Write("good.avi", Short()));
  // A recording cut after its headers still reads (its index is walked);
  // one cut inside them is refused with status 2.
  struct Damaged {
    std::string name, bytes;
    int status;
  };
  const std::vector<Damaged> files = {{"garbage.avi", std::string(20000, '\x5A'), 2},
                                      {"empty.avi", "", 2},
                                      {"header.avi", good.substr(0, 12), 2},
                                      {"hdrl.avi", good.substr(0, 200), 2},
                                      {"half.avi", good.substr(0, good.size() / 2), 0},
                                      {"noindex.avi", good.substr(0, good.size() - 100), 0}};
  for (const auto& [name, bytes, status] : files) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    for (const char* mode : {"--info ", "--export-metadata "}) {
      const PlayerRun run = RunPlayer(mode + (dir_ / name).string(), dir_);
      EXPECT_EQ(run.status, status) << name << " " << mode << run.err;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), status == 0 ? 0 : 1) << name << run.err;
      EXPECT_EQ(ReadAll(dir_ / name), bytes) << name;
    }
  }
  const PlayerRun missing = RunPlayer("--export-metadata " + (dir_ / "missing.avi").string(), dir_);
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(missing.out.empty());
}

// Every mode, given a path that is no usable recording, says why in one
// line, exits with status 2, writes nothing, and leaves the path as it was.
TEST_F(QmxplayerModes, UnusableInputsGetTheirRealReasonAndStatusTwo) {
  const std::string good = ReadAll(Write("good.avi", Short()));
  struct Input {
    std::string name;
    std::function<void(const std::filesystem::path&)> make;
    std::string reason;
  };
  auto bytes = [](std::string content) {
    return [content](const std::filesystem::path& p) { std::ofstream(p, std::ios::binary) << content; };
  };
  const std::vector<Input> inputs = {
      {"missing.avi", [](const std::filesystem::path&) {}, "No such file or directory"},
      {"folder.avi", [](const std::filesystem::path& p) { std::filesystem::create_directory(p); },
       "is a folder, not a file"},
      {"fifo.avi", [](const std::filesystem::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
       "is a FIFO, not a regular file"},
      {"empty.avi", bytes(""), "the file is empty (0 bytes)"},
      {"short.avi", bytes(good.substr(0, 5)), "too short for an AVI file (5 bytes)"},
      {"garbage.avi", bytes(std::string(20000, '\x5A')), "not an AVI file (no RIFF header)"},
      {"wave.avi", bytes(std::string("RIFF\x04\0\0\0WAVEfmt ", 16) + std::string(100, '\0')),
       "a RIFF file of type 'WAVE', not an AVI"},
      {"riff-only.avi", bytes(good.substr(0, 12)), "no header list (LIST hdrl)"},
      {"cut-in-headers.avi", bytes(good.substr(0, 200)), "header list runs past the end of the file"},
      {"/dev/null", [](const std::filesystem::path&) {}, "is a device, not a regular file"},
  };
  const std::string shot = (dir_ / "shot.jpg").string(), track = (dir_ / "track.gpx").string(),
                    clip = (dir_ / "clip.avi").string(), package = (dir_ / "package").string();
  // --check prints the report so far on standard output.
  const std::vector<std::tuple<std::string, std::string, bool>> modes = {
      {"--info ", "", true},
      {"--export-metadata ", "", true},
      {"--snapshot ", " --at 0 --channel 1 --out " + shot, true},
      {"--events ", "", true},
      {"--export-track ", " --format gpx --out " + track, true},
      {"--extract ", " --from 0 --to 10 --cameras 1 --out " + clip, true},
      {"--export-evidence ", " --from 0 --to 10 --cameras 1 --out " + package, true},
      {"--check ", "", false}};
  for (const Input& input : inputs) {
    const auto path = dir_ / input.name;
    input.make(path);
    const std::string before = std::filesystem::is_regular_file(path) ? ReadAll(path) : "";
    for (const auto& [mode, rest, quiet] : modes) {
      const std::string what = mode + input.name;
      const PlayerRun run = RunPlayer(mode + path.string() + rest, dir_);
      EXPECT_EQ(run.status, 2) << what;
      if (quiet) {
        EXPECT_TRUE(run.out.empty()) << what;
      }
      ExpectOneLineNaming(run, path.string(), input.reason, what);
      if (std::filesystem::is_regular_file(path)) {
        EXPECT_EQ(ReadAll(path), before) << what;
      }
      for (const std::string& out : {shot, track, clip, package})
        EXPECT_FALSE(std::filesystem::exists(out)) << what << ": " << out;
    }
  }
}

// An output that can't be written ends the mode with status 3 and the
// system's reason, never with status 0 and the rows lost; one that is no
// regular file is refused before anything is played (status 2).
TEST_F(QmxplayerModes, UnwritableOutputsSayWhyAndLeaveTheRecording) {
  recgen::RecordingOptions o = Short();
  o.video = {true, false, false, false};
  const std::string path = Write("out.avi", o);
  const std::string before = ReadAll(path);
  const std::string missingFolder = (dir_ / "no-such-folder" / "shot.jpg").string();
  struct Case {
    std::string args, subject, reason;
    int status;
  };
  const Case cases[] = {
      {"--info " + path + " >/dev/full", "standard output", "No space left on device", 3},
      {"--export-metadata " + path + " >/dev/full", "standard output", "No space left on device", 3},
      {"--help >/dev/full", "standard output", "No space left on device", 3},
      {"--snapshot " + path + " --at 0 --channel 1 --out " + missingFolder, missingFolder,
       "cannot save camera 1's frame: No such file or directory", 3},
      {"--snapshot " + path + " --at 0 --channel 1 --out " + dir_.path().string(), dir_.path().string(),
       "is a folder, not a file", 2},
      {"--snapshot " + path + " --at 0 --channel 1 --out /dev/full", "/dev/full",
       "is a device, not a regular file", 2},
  };
  for (const Case& c : cases) {
    const PlayerRun run = RunPlayer(c.args, dir_);
    EXPECT_EQ(run.status, c.status) << c.args;
    ExpectOneLineNaming(run, c.subject, c.reason, c.args);
    EXPECT_EQ(ReadAll(path), before) << c.args;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no-such-folder"));
}

// Scrambles the picture data of every frame of camera 1 ("00dc" chunks),
// keeping the chunk sizes and the file's structure.
std::string WithCameraOneUndecodable(std::string bytes) {
  for (auto at = bytes.find("00dc"); at != std::string::npos; at = bytes.find("00dc", at + 1)) {
    const uint32_t size = uint8_t(bytes[at + 4]) | uint8_t(bytes[at + 5]) << 8 |
                          uint8_t(bytes[at + 6]) << 16 | uint32_t(uint8_t(bytes[at + 7])) << 24;
    if (size < 1000 || at + 8 + size > bytes.size()) continue;
    for (std::size_t k = at + 8 + 300; k < at + 8 + size - 200; ++k) bytes[k] = char(k * 7);
  }
  return bytes;
}

// The snapshot mode names the camera in every failure, and the libraries'
// own lines (GStreamer's, libjpeg's) never reach stderr; a position past the
// end is refused with the recording's length.
TEST_F(QmxplayerModes, SnapshotNamesTheCameraAndKeepsLibraryLinesOff) {
  recgen::RecordingOptions o = Short();
  o.video = {true, false, true, false};
  const std::string path = Write("cam.avi", o);
  const std::string damaged = (dir_ / "damaged.avi").string();
  std::ofstream(damaged, std::ios::binary) << WithCameraOneUndecodable(ReadAll(path));
  const std::string shot = (dir_ / "cam.jpg").string();
  struct Case {
    std::string file;
    int channel, at, status;
    std::string reason;  // "" for success
  } cases[] = {
      {path, 2, 10, 2, "camera 2 has no video"},
      {damaged, 1, 10, 2, "camera 1 has no decoded frame at 10 hundredths"},
      {damaged, 3, 10, 0, ""},
      {path, 1, 10, 0, ""},
      {path, 1, 30, 0, ""},  // the end itself: the last frame
      {path, 1, 31, 2, "the recording ends at 30 hundredths, before --at"},
  };
  for (const Case& c : cases) {
    const std::string what = c.file + " channel " + std::to_string(c.channel) + " at " + std::to_string(c.at);
    const PlayerRun run = RunPlayer("--snapshot " + c.file + " --at " + std::to_string(c.at) + " --channel " +
                                        std::to_string(c.channel) + " --out " + shot,
                                    dir_);
    EXPECT_EQ(run.status, c.status) << what << run.err;
    if (c.reason.empty()) {
      EXPECT_EQ(run.err, "") << what;
      EXPECT_TRUE(std::filesystem::is_regular_file(shot)) << what;
    } else {
      ExpectOneLineNaming(run, c.file, c.reason, what);
      EXPECT_FALSE(std::filesystem::exists(shot)) << what;
    }
    std::filesystem::remove(shot);
  }
}

// Positions as the recording's clock time, local or UTC, in the modes that
// take positions: each gives exactly what the same frame's timeline
// position gives (byte for byte), and a time the recording never reached
// is refused with the clock's span.
TEST_F(QmxplayerModes, ClockTimePositionsPickTheFrameTheTimelinePositionDoes) {
  recgen::RecordingOptions o = Short();
  o.seconds = 2;
  o.width = 320;
  o.height = 240;
  o.audio = {false, false, false, false};
  o.startUtc = 1298988309 - recgen::kLocalOffsetSeconds;  // 14:05:09 local, 22:05:09 UTC
  const std::string path = Write("clock.avi", o);
  const std::string a = (dir_ / "a").string(), b = (dir_ / "b").string();
  struct Row {
    std::string clock, timeline;  // the same mode and output with each form of position
    int status;
    std::string reason;  // for a refusal of the clock form
  } rows[] = {
      {"--snapshot " + path + " --at @14:05:10 --channel 1 --out " + a + ".jpg",
       "--snapshot " + path + " --at 100 --channel 1 --out " + b + ".jpg", 0, ""},
      {"--snapshot " + path + " --at @22:05:10.25Z --channel 1 --out " + a + ".jpg",
       "--snapshot " + path + " --at 130 --channel 1 --out " + b + ".jpg", 0, ""},
      {"--extract " + path + " --from @14:05:09.5 --to @22:05:10.250Z --cameras 1 --out " + a + ".avi",
       "--extract " + path + " --from 50 --to 130 --cameras 1 --out " + b + ".avi", 0, ""},
      {"--snapshot " + path + " --at @14:06:00 --channel 1 --out " + a + ".jpg", "", 2,
       "14:06:00 local is not in the recording (its local clock runs from 2011-03-01 14:05:09 to 14:05:10)"},
      {"--extract " + path + " --from @14:05:10 --to @14:05:09 --cameras 1 --out " + a + ".avi", "", 2,
       "the range ends before it starts"},
      // The window refuses the same time before it opens.
      {path + " --at @14:06:00", "", 2,
       "14:06:00 local is not in the recording (its local clock runs from 2011-03-01 14:05:09 to 14:05:10)"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.clock);
    const PlayerRun run = RunPlayer(r.clock, dir_);
    EXPECT_EQ(run.status, r.status) << run.err;
    if (!r.reason.empty()) {
      ExpectOneLineNaming(run, path, r.reason, r.clock);
      continue;
    }
    ASSERT_EQ(RunPlayer(r.timeline, dir_).status, 0);
    const std::string ext = r.clock.find("--snapshot") == 0 ? ".jpg" : ".avi";
    const std::string clockOut = ReadAll(a + ext), timelineOut = ReadAll(b + ext);
    EXPECT_FALSE(clockOut.empty());
    EXPECT_TRUE(clockOut == timelineOut);
  }
  EXPECT_EQ(RunPlayer("--snapshot " + path + " --at @14:5:10 --channel 1 --out " + a + ".jpg", dir_).status,
            2);
  const PlayerRun window = RunPlayer(path + " --quad --at @14:5:10", dir_);
  EXPECT_EQ(window.status, 2);
  EXPECT_EQ(window.err.rfind("qmxplayer: --at: \"@14:5:10\" is no position; a position is hundredths", 0), 0u)
      << window.err;
}

// Header values at the ends of their ranges: a top-down height of INT_MIN
// and a rate over a scale of 1 are shown, clamped, instead of overflowing.
TEST_F(QmxplayerModes, ExtremeHeaderValuesAreClamped) {
  std::string bytes = ReadAll(Write("extreme.avi", Short()));
  const auto strh = bytes.find("strh");
  const auto strf = bytes.find("strf", strh);
  ASSERT_NE(strf, std::string::npos);
  auto put32 = [&bytes](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (8 * i));
  };
  put32(strh + 8 + 20, 1);            // scale
  put32(strh + 8 + 24, 0xFFFFFFFFu);  // rate
  put32(strf + 8 + 8, 0x80000000u);   // biHeight = INT_MIN
  std::ofstream(dir_ / "extreme.avi", std::ios::binary) << bytes;
  auto info = Info((dir_ / "extreme.avi").string());
  EXPECT_EQ(info["Channel 1 Video Resolution"], "720x2147483647, 4294967295.00 fps");
}

// A scripted window run always ends: a recording that fails to open is
// pictured with its message box, which nobody is there to answer.
TEST_F(QmxplayerModes, ScreenshotOfAFailedOpenIsWrittenAndTheRunEnds) {
  std::string noise(20000, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = char((i * 2654435761u) >> 13);
  std::ofstream(dir_ / "noise.avi", std::ios::binary) << noise;
  const struct {
    std::string file;
    int status;
  } rows[] = {{"noise.avi", 2}, {"missing.avi", 2}, {"", 0}};
  ASSERT_EQ(setenv("QT_QPA_PLATFORM", "offscreen", 1), 0);
  for (const auto& r : rows) {
    const std::filesystem::path shot = dir_ / ("shot-" + r.file + ".png");
    const std::string file = r.file.empty() ? "" : (dir_ / r.file).string() + " ";
    const PlayerRun run = RunPlayer(file + "--screenshot-after 1 " + shot.string(), dir_);
    EXPECT_EQ(run.status, r.status) << r.file << ": " << run.err;  // 124: it never ended
    EXPECT_EQ(ReadAll(shot).substr(0, 4), "\x89PNG") << r.file;
  }
}

TEST(CsvField, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(evidence::CsvField("Trigger 0"), "Trigger 0");
  EXPECT_EQ(evidence::CsvField("Door,Brake"), "\"Door,Brake\"");
  EXPECT_EQ(evidence::CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(evidence::CsvField("a\nb"), "\"a\nb\"");
}

}  // namespace
