// The integrity check on real recordings damaged the ways storage and
// power failures damage them: pictures whose data no longer decodes, files
// cut short, empty files in a run. Through the check itself, the real binary
// for its exit status and its report, and ffmpeg as an independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

#include "avi/avi_reader.h"
#include "engine/numbered_run.h"
#include "evidence/integrity_check.h"
#include "evidence_test_support.h"
#include "recording_writer.h"
#include "run_command.h"

namespace {

namespace fs = std::filesystem;
using evidence::FindingKind;

// Where frame k of a camera lies in the file, and its entropy-coded data
// within it: from just past the scan header to the first marker after it.
struct FramePlace {
  uint64_t offset = 0;
  uint32_t size = 0;
  uint64_t dataBegin = 0, dataEnd = 0;  // absolute file offsets
};

FramePlace PlaceOf(const fs::path& file, int camera, std::size_t k) {
  avi::AviReader reader;
  EXPECT_TRUE(reader.Open(file.string())) << reader.Error();
  const int stream = reader.NthStreamOfType(avi::kVids, camera - 1);
  std::vector<uint8_t> bytes;
  avi::ChunkEntry chunk;
  EXPECT_TRUE(reader.Chunk(std::size_t(stream), k, chunk) && reader.ReadChunk(std::size_t(stream), k, bytes));
  std::size_t sos = 0;
  for (std::size_t i = 2; i + 3 < bytes.size() && sos == 0; ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) sos = i;
  const std::size_t begin = sos + 2 + (std::size_t(bytes[sos + 2]) << 8 | bytes[sos + 3]);
  std::size_t end = begin;
  while (end + 1 < bytes.size() && !(bytes[end] == 0xFF && bytes[end + 1] != 0x00)) ++end;
  EXPECT_GT(sos, 0u);
  EXPECT_GT(end, begin + 100);
  return {chunk.offset, chunk.size, chunk.offset + begin, chunk.offset + end};
}

void Overwrite(const fs::path& file, uint64_t offset, const std::vector<uint8_t>& bytes) {
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(std::streamoff(offset));
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> FileBytes(const fs::path& file, uint64_t offset, std::size_t count) {
  const std::string all = ReadWholeFile(file);
  return {all.begin() + std::ptrdiff_t(offset), all.begin() + std::ptrdiff_t(offset + count)};
}

// The ways a frame's picture data is spoilt with its markers and its end
// marker left where they were.
const struct PictureDamage {
  const char* name;
  std::function<void(const fs::path&, const FramePlace&)> spoil;
} kPictureDamage[] = {
    {"garbage behind intact markers",
     [](const fs::path& f, const FramePlace& p) {
       // Every byte of the last two thirds changed; none becomes a marker.
       const std::vector<uint8_t> data = FileBytes(f, p.dataBegin, p.dataEnd - p.dataBegin);
       for (uint64_t at = p.dataBegin + (p.dataEnd - p.dataBegin) / 3; at < p.dataEnd; ++at)
         if (data[at - p.dataBegin] != 0xA5 && data[at - p.dataBegin] != 0xFF &&
             data[at - p.dataBegin - 1] != 0xFF)
           FlipByte(f, at);
     }},
    {"a stray end marker inside the data",
     [](const fs::path& f, const FramePlace& p) {
       Overwrite(f, (p.dataBegin + p.dataEnd) / 2, {0xFF, 0xD9});
     }},
    {"second half zeroed, end marker kept",
     [](const fs::path& f, const FramePlace& p) {
       const uint64_t half = (p.dataBegin + p.dataEnd) / 2;
       Overwrite(f, half, std::vector<uint8_t>(p.dataEnd - half, 0));
     }},
};

TEST(IntegrityDamage, EveryPictureThatDoesNotDecodeIsNamedWhereTheQuickPassSeesNothing) {
  TempDir dir;
  std::string error;
  const fs::path clean = dir / "clean.avi";
  ASSERT_TRUE(recgen::WriteRecording(clean, SmallRecording(), error)) << error;
  ASSERT_TRUE(evidence::CheckRecording({clean.string()}).Clean());

  const fs::path all = dir / "all.avi";
  fs::copy_file(clean, all);
  int row = 0;
  for (const PictureDamage& d : kPictureDamage) {
    SCOPED_TRACE(d.name);
    const int camera = 1 + row, frame = 10 + 7 * row;
    ++row;
    const fs::path file = dir / ("damaged-" + std::to_string(row) + ".avi");
    fs::copy_file(clean, file);
    d.spoil(file, PlaceOf(file, camera, std::size_t(frame)));
    d.spoil(all, PlaceOf(all, camera, std::size_t(frame)));

    // An independent decoder finds the damage too.
    const std::string ffmpeg =
        RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(file.string()) + " -map 0:v -f null - 2>&1");
    EXPECT_FALSE(ffmpeg.empty());

    const evidence::IntegrityReport full = evidence::CheckRecording({file.string()});
    ASSERT_EQ(full.findings.size(), 1u);
    const evidence::Finding& f = full.findings[0];
    EXPECT_EQ(f.kind, FindingKind::kDamagedFrame);
    EXPECT_EQ(f.camera, camera);
    EXPECT_EQ(f.frame, frame);
    EXPECT_NEAR(f.at, frame / 30.0, 1e-9);
    EXPECT_NE(f.detail.find("Corrupt JPEG data"), std::string::npos) << f.detail;
    EXPECT_TRUE(evidence::CheckRecording({file.string()}, {.decodePictures = false}).Clean());

    const PlayerRun run = RunPlayer("--check " + ShellQuote(file.string()), dir);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("damaged frame: camera " + std::to_string(camera) + ", file 1, frame " +
                           std::to_string(frame) + ", at "),
              std::string::npos)
        << run.out;
    EXPECT_EQ(RunPlayer("--check --quick " + ShellQuote(file.string()), dir).status, 0);
  }
  // Several damaged pictures come out in frame order, however many decode.
  const evidence::IntegrityReport one = evidence::CheckRecording({all.string()}, {.workers = 1});
  const evidence::IntegrityReport many = evidence::CheckRecording({all.string()}, {.workers = 5});
  ASSERT_EQ(one.findings.size(), 3u);
  ASSERT_EQ(many.findings.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(many.findings[i].camera, int(i) + 1);
    EXPECT_EQ(many.findings[i].frame, one.findings[i].frame);
    EXPECT_EQ(many.findings[i].detail, one.findings[i].detail);
  }
}

// Cuts `file` at `bytes`.
void CutAt(const fs::path& file, uint64_t bytes) {
  fs::resize_file(file, bytes);
}

TEST(IntegrityDamage, CutShortAndEmptyFilesAreFindingsAndTheRunGoesOn) {
  // A five-second recording of 150 frames a camera, cut where power failed;
  // runs of three two-second files with their second file cut or empty.
  const struct Row {
    const char* name;
    int files;  // 1: a five-second recording; 3: a run of two-second files
    std::function<void(const fs::path& spoilt)> spoil;
    std::vector<std::string> expected;  // the start of every finding line, in order
    int64_t framesPerCamera;
  } rows[] = {
      {"cut at a chunk boundary",
       1,
       [](const fs::path& f) { CutAt(f, PlaceOf(f, 1, 53).offset - 8); },
       {"cut short: file 1: no index, though its header says it has one\n",
        "cut short: camera 1, file 1, at 1.767 s: 53 of the 150 frames",
        "cut short: camera 2, file 1, at 1.767 s: 53 of the 150 frames",
        "cut short: camera 3, file 1, at 1.767 s: 53 of the 150 frames",
        "cut short: camera 4, file 1, at 1.767 s: 53 of the 150 frames"},
       53},
      {"cut inside a frame",
       1,
       [](const fs::path& f) {
         const FramePlace p = PlaceOf(f, 1, 53);
         CutAt(f, p.offset + p.size / 2);
       },
       {"cut short: file 1: no index, though its header says it has one; its last chunk ('00dc' at byte ",
        "cut short: camera 1, file 1, at 1.767 s: 53 of the 150 frames", "cut short: camera 2, file 1",
        "cut short: camera 3, file 1", "cut short: camera 4, file 1"},
       53},
      {"headers only",
       1,
       [](const fs::path& f) { CutAt(f, PlaceOf(f, 1, 0).offset - 8); },
       {"cut short: file 1: no index", "cut short: camera 1, file 1, at 0.000 s: 0 of the 150 frames",
        "cut short: camera 2, file 1, at 0.000 s: 0 of the 150 frames",
        "cut short: camera 3, file 1, at 0.000 s: 0 of the 150 frames",
        "cut short: camera 4, file 1, at 0.000 s: 0 of the 150 frames"},
       0},
      {"second file of a run cut short",
       3,
       [](const fs::path& f) { CutAt(f, PlaceOf(f, 1, 20).offset - 8); },
       {"cut short: file 2: no index", "cut short: camera 1, file 2, at 0.667 s: 20 of the 60 frames",
        "cut short: camera 2, file 2", "cut short: camera 3, file 2", "cut short: camera 4, file 2",
        "gap between files: files 2-3"},
       60 + 20 + 60},
      {"second file of a run empty",
       3,
       [](const fs::path& f) { CutAt(f, 4000); },
       {"empty file skipped: file 2: 4000 bytes or less", "gap between files: files 2-3"},
       60 + 60},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    recgen::RecordingOptions o = SmallRecording();
    std::string error;
    fs::path first = dir / "Trip.avi", spoilt = first;
    if (row.files == 1) {
      o.seconds = 5;
      ASSERT_TRUE(recgen::WriteRecording(first, o, error)) << error;
    } else {
      ASSERT_TRUE(recgen::WriteSequence(dir.path(), "Trip", row.files, o, error)) << error;
      first = dir / "Trip-001.avi", spoilt = dir / "Trip-002.avi";
    }
    row.spoil(spoilt);
    const bool emptied = row.files > 1 && fs::file_size(spoilt) <= kEmptyRecordingBytes;

    // ffprobe counts the frames that are left as we do.
    if (!emptied) {
      const std::string packets = RunCommand(
          "ffprobe -v error -select_streams v:0 -count_packets -show_entries "
          "stream=nb_read_packets -of csv=p=0 " +
          ShellQuote(spoilt.string()));
      const evidence::IntegrityReport alone = evidence::CheckRecording({spoilt.string()});
      ASSERT_FALSE(alone.cameras.empty());
      // ffprobe reads a cut last frame as a packet too; with no frame left it has no count.
      const bool cutFrame = row.expected[0].find("its last chunk") != std::string::npos;
      EXPECT_EQ(packets.starts_with("N/A") ? 0 : std::stoll(packets),
                alone.cameras[0].frames + (cutFrame ? 1 : 0));
    }

    const PlayerRun run = RunPlayer("--check " + ShellQuote(first.string()), dir);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    std::size_t from = 0;
    for (const std::string& e : row.expected) {
      const std::size_t at = run.out.find("\n" + e, from);
      EXPECT_NE(at, std::string::npos) << e << "\n" << run.out;
      if (at != std::string::npos) from = at + 1;
    }
    EXPECT_NE(run.out.find("Camera 1: " + std::to_string(row.framesPerCamera) + " frames"), std::string::npos)
        << run.out;
    const PlayerRun json = RunPlayer("--check --json " + ShellQuote(first.string()), dir);
    EXPECT_EQ(json.status, 1);
    if (!emptied) {
      EXPECT_NE(json.out.find("\"declared_frames\": " + std::to_string(row.files == 1 ? 150 : 60) +
                              ", \"found_frames\": "),
                std::string::npos)
          << json.out;
    }
    if (row.files == 1) continue;

    // The other modes read past an empty file and say so; only a missing
    // one ends the run.
    const std::vector<NumberedRunFile> listed = ListNumberedRun(first.string());
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[1], (NumberedRunFile{spoilt.string(), emptied}));
    if (!emptied) continue;
    const PlayerRun events = RunPlayer("--events " + ShellQuote(first.string()), dir);
    EXPECT_EQ(events.status, 0) << events.err;
    EXPECT_NE(events.err.find("Trip-002.avi: skipped: 4000 bytes or less"), std::string::npos) << events.err;
    EXPECT_NE(events.out.find(",Trip-003.avi,"), std::string::npos) << events.out;
    const PlayerRun track = RunPlayer("--export-track " + ShellQuote(first.string()) +
                                          " --format gpx --out " + ShellQuote((dir / "t.gpx").string()),
                                      dir);
    EXPECT_EQ(track.status, 0) << track.err;
    EXPECT_NE(track.err.find("Trip-002.avi: skipped"), std::string::npos);
    // Both whole files' positions are written: as many as the two files give alone.
    const auto positions = [&](const fs::path& from) {
      const PlayerRun r = RunPlayer("--export-track " + ShellQuote(from.string()) + " --format gpx --out " +
                                        ShellQuote((dir / "one.gpx").string()),
                                    dir);
      return std::stoi(r.err.substr(r.err.rfind(": ", r.err.find(" positions written")) + 2));
    };
    fs::copy_file(first, dir / "First.avi");
    EXPECT_EQ(positions(first), positions(dir / "First.avi") + positions(dir / "Trip-003.avi")) << track.err;
  }
}

}  // namespace

// Files other programs wrote, whole, decode cleanly and are not taken for
// cut-short ones: ffmpeg with its index, without one, streamed to a pipe (its
// headers never filled in), and GStreamer's avimux.
TEST(IntegrityDamage, WholeFilesOfOtherWritersAreClean) {
  TempDir dir;
  const std::string source =
      "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=320x240:rate=30 -f lavfi -i "
      "sine=f=400:sample_rate=8000 "
      "-t 3 -c:v mjpeg -q:v 5 -c:a pcm_mulaw ";
  const struct {
    const char* name;
    std::string command;
  } rows[] = {
      {"ffmpeg.avi", source + "ffmpeg.avi"},
      {"no-index.avi", source + "-write_index 0 no-index.avi"},
      {"piped.avi", source + "-f avi - > piped.avi"},
      {"avimux.avi",
       "gst-launch-1.0 -q videotestsrc num-buffers=60 ! video/x-raw,width=320,height=240,"
       "framerate=30/1 ! jpegenc ! avimux ! filesink location=avimux.avi"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    int status = -1;
    RunCommand("cd " + ShellQuote(dir.path().string()) + " && " + row.command, &status);
    ASSERT_EQ(status, 0);
    const PlayerRun run = RunPlayer("--check " + ShellQuote((dir / row.name).string()), dir);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Result: clean"), std::string::npos) << run.out;
  }
}
