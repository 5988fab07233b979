// The integrity check on generated recordings with one injected fault each,
// through `qmxplayer --check` as users run it.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>

#include "evidence/jpeg_structure.h"
#include "evidence_test_support.h"
#include "recording_writer.h"
#include "run_command.h"
#include "snapshot/jpeg_memory_encoder.h"

namespace {

using recgen::FaultKind;

// "kind: where: details" lines of the text report.
std::vector<std::string> FindingLines(const std::string& out) {
  static const std::set<std::string> kKinds = {"dropped frame",     "time gap",      "time goes backwards",
                                               "duplicate frame",   "damaged frame", "audio chunks missing",
                                               "gap between files", "cut short",     "empty file skipped"};
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    const auto colon = line.find(':');
    if (colon != std::string::npos && kKinds.count(line.substr(0, colon))) lines.push_back(line);
  }
  return lines;
}

struct FaultRow {
  const char* name;
  std::vector<recgen::FrameFault> faults;
  int files;                          // 1: one recording; more: a numbered run
  double fileGap;                     // seconds, for runs
  std::vector<std::string> expected;  // the start ("kind: where") of every finding line, in order
};

TEST(IntegrityCheck, NamesEachInjectedFaultAndNothingElse) {
  const std::vector<FaultRow> rows = {
      {"clean", {}, 1, 0, {}},
      {"clean run", {}, 3, 0, {}},
      {"dropped frame",
       {{FaultKind::kDropFrame, 2, 30, 0}},
       1,
       0,
       {"dropped frame: camera 2, file 1, frame 30"}},
      {"repeated frame",
       {{FaultKind::kRepeatFrame, 3, 20, 0}},
       1,
       0,
       {"duplicate frame: camera 3, file 1, frame 20"}},
      {"corrupt JPEG",
       {{FaultKind::kCorruptFrame, 1, 10, 0}},
       1,
       0,
       {"damaged frame: camera 1, file 1, frame 10"}},
      {"clock jump backwards",
       {{FaultKind::kClockBack, 1, 40, 5.0}},
       1,
       0,
       {"time goes backwards: camera 1, file 1, frame 40", "time goes backwards: camera 2, file 1, frame 40",
        "time goes backwards: camera 3, file 1, frame 40",
        "time goes backwards: camera 4, file 1, frame 40"}},
      {"missing audio chunk",
       {{FaultKind::kDropAudio, 4, 15, 0}},
       1,
       0,
       {"audio chunks missing: camera 4, file 1, frame 15, at 0.500 s: 1 chunk"}},
      {"gap between two files", {}, 2, 10, {"gap between files: files 1-2"}},
  };
  for (const FaultRow& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    recgen::RecordingOptions o = SmallRecording();
    o.faults = row.faults;
    o.fileGapSeconds = row.fileGap;
    std::string error;
    std::filesystem::path first = dir / "Trip.avi";
    if (row.files == 1) {
      ASSERT_TRUE(recgen::WriteRecording(first, o, error)) << error;
    } else {
      ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", row.files, o, error)) << error;
      first = dir / "Trip-001.avi";
    }
    const PlayerRun run = RunPlayer("--check " + ShellQuote(first.string()), dir);
    EXPECT_EQ(run.status, row.expected.empty() ? 0 : 1) << run.out << run.err;
    const std::vector<std::string> lines = FindingLines(run.out);
    ASSERT_EQ(lines.size(), row.expected.size()) << run.out;
    for (std::size_t i = 0; i < lines.size(); ++i)
      EXPECT_EQ(lines[i].rfind(row.expected[i], 0), 0u) << lines[i];
    EXPECT_NE(run.out.find(row.expected.empty() ? "Result: clean\n" : "Result: "), std::string::npos);

    // Every camera's rate is measured from the frames' own times (a missing
    // frame's time counts, so one less frame shows).
    const std::regex camera(R"(Camera (\d): (\d+) frames, declared 30\.000 fps, measured (\d+\.\d+) fps)");
    int cameras = 0;
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), camera), end; it != end; ++it, ++cameras) {
      EXPECT_NEAR(std::stod((*it)[3]), 30.0, row.faults.empty() && row.fileGap == 0 ? 0.05 : 0.6)
          << it->str();
      const int frames = std::stoi((*it)[2]);
      EXPECT_EQ(
          frames,
          60 * row.files -
              (row.faults.size() && row.faults[0].kind == FaultKind::kDropFrame && (*it)[1] == "2" ? 1 : 0));
    }
    EXPECT_EQ(cameras, 4) << run.out;
    const std::size_t boundaries = std::size_t(row.files - 1);
    std::size_t boundaryLines = 0;
    for (std::size_t p = 0;
         (p = run.out.find(" s between the last frame and the next", p)) != std::string::npos; ++p)
      ++boundaryLines;
    EXPECT_EQ(boundaryLines, boundaries);

    // The machine-readable report says the same and is valid JSON.
    const PlayerRun json = RunPlayer("--check " + ShellQuote(first.string()) + " --json", dir);
    EXPECT_EQ(json.status, run.status);
    int parsed = -1;
    RunCommand("printf '%s' " + ShellQuote(json.out) + " | python3 -m json.tool >/dev/null", &parsed);
    EXPECT_EQ(parsed, 0) << json.out;
    for (const std::string& e : row.expected) {
      const std::string kind = e.substr(0, e.find(':'));
      EXPECT_NE(json.out.find("\"kind\": \"" + kind + "\""), std::string::npos) << json.out;
    }
    EXPECT_NE(json.out.find(row.expected.empty() ? "\"clean\": true" : "\"clean\": false"),
              std::string::npos);
  }
}

TEST(IntegrityCheck, UnreadableInputEndsWithTwo) {
  TempDir dir;
  std::ofstream(dir / "garbage.avi") << std::string(5000, 'x');
  const struct {
    std::string args;
    std::string message;
  } rows[] = {
      {ShellQuote((dir / "missing.avi").string()), "No such file or directory"},
      {ShellQuote((dir / "garbage.avi").string()), "garbage.avi: "},
      {ShellQuote(dir.path().string()), "folder"},
      {"", "usage: qmxplayer --check FILE [--quick] [--json]"},
      {"a.avi b.avi", "usage: qmxplayer --check FILE [--quick] [--json]"},
  };
  for (const auto& row : rows) {
    const PlayerRun run = RunPlayer("--check " + row.args, dir);
    EXPECT_EQ(run.status, 2) << row.args;
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
  }
}

// The structure test on a real camera JPEG cut and spoilt in the ways
// storage damage does.
TEST(JpegStructure, WholeFramesPassAndDamagedOnesSayWhy) {
  std::vector<uint8_t> rgb(64 * 48 * 3, 128), jpeg;
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = uint8_t(i * 7);
  std::string error;
  ASSERT_TRUE(EncodeJpegToMemory(rgb.data(), 64, 48, 64 * 3, JpegEncodeOptions{}, jpeg, error)) << error;
  std::size_t sos = 0;
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) sos = i;
  ASSERT_GT(sos, 0u);
  auto with = [&](const std::function<void(std::vector<uint8_t>&)>& change) {
    std::vector<uint8_t> copy = jpeg;
    change(copy);
    return copy;
  };
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string problem;
  } rows[] = {
      {"whole", jpeg, ""},
      {"bytes after the end marker", with([](auto& b) { b.insert(b.end(), 100, 0); }), ""},
      {"cut in the picture data", with([](auto& b) { b.resize(b.size() - 40); }),
       "ends before its end-of-image marker"},
      {"cut in the headers", with([&](auto& b) { b.resize(sos - 10); }), "a marker segment is cut short"},
      {"no start marker", with([](auto& b) { b[1] = 0x00; }), "no start-of-image marker"},
      {"headers only", with([&](auto& b) {
         b.resize(sos);
         b.push_back(0xFF);
         b.push_back(0xD9);
       }),
       "ends before its picture data"},
      {"text lines after the end marker", with([](auto& b) { b.insert(b.end(), 128, 'L'); }), ""},
      {"second half zeroed",
       with([&](auto& b) { std::fill(b.begin() + std::ptrdiff_t(sos + (b.size() - sos) / 2), b.end(), 0); }),
       "ends before its end-of-image marker"},
      {"overwritten at the end", with([](auto& b) { std::fill(b.end() - 300, b.end(), 0x55); }),
       "ends before its end-of-image marker"},
      {"end marker zeroed", with([](auto& b) { b[b.size() - 2] = 0, b[b.size() - 1] = 0; }),
       "ends before its end-of-image marker"},
      {"empty", {}, "no start-of-image marker"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(evidence::JpegStructureProblem(row.bytes.data(), row.bytes.size()), row.problem) << row.name;
  }
}

}  // namespace
