// Generated recordings checked through independent readers (ffprobe, ffmpeg,
// GStreamer's avidemux) and by walking the bytes.

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <regex>

#include "avi/avi_format.h"
#include "expected_metadata.h"
#include "frame_mark.h"
#include "metadata/metadata_sample.h"
#include "recording_probe.h"
#include "recording_writer.h"
#include "temp_dir.h"

namespace {

std::string Probe(const std::filesystem::path& file) {
  return RunCommand("ffprobe -v error -show_entries stream=codec_name,width,height,channels -of csv=p=0 '" +
                    file.string() + "'");
}

recgen::RecordingOptions Short(double seconds = 0.5) {
  recgen::RecordingOptions o;
  o.seconds = seconds;
  return o;
}

std::filesystem::path Write(const TempDir& dir, const std::string& name, const std::string& args) {
  int status = -1;
  const std::string out = Recgen("write '" + (dir / name).string() + "' " + args, &status);
  EXPECT_EQ(status, 0) << out;
  return dir / name;
}

TEST(RecgenFiles, FfprobeListsStreamsWithCodecsAndSizes) {
  TempDir dir;
  struct Case {
    std::string args, expected;
  } cases[] = {
      {"--seconds 0.3",
       "mjpeg,720,480\npcm_mulaw,1\nmjpeg,720,480\npcm_mulaw,1\n"
       "mjpeg,720,480\npcm_mulaw,1\nmjpeg,720,480\npcm_mulaw,1\n"},
      {"--seconds 0.3 --size 360x288 --channels 1,3 --audio 3",
       "mjpeg,360,288\nmjpeg,360,288\npcm_mulaw,1\n"},
      {"--seconds 0.3 --kind 2", "mjpeg,320,480\npcm_mulaw,2\n"},
      {"--seconds 0.3 --kind 3 --header380 --audio none", "mjpeg,640,240\n"},
  };
  for (const Case& c : cases) {
    const auto file = Write(dir, "p.avi", c.args);
    EXPECT_EQ(Probe(file), c.expected) << c.args;
  }
}

TEST(RecgenFiles, EveryFrameCarriesItsRecordAtByte24AndIsAtLeast5000Bytes) {
  TempDir dir;
  recgen::RecordingOptions o = Short();
  o.video = {true, false, true, true};
  o.audio = o.video;
  o.meta = recgen::MetaPlacement::kBoth;
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(dir / "m.avi", o, error)) << error;
  const auto chunks = MoviChunks(ReadWholeFile(dir / "m.avi"));
  const int64_t frames = recgen::FrameCount(o);
  ASSERT_EQ(chunks.size(), std::size_t(frames) * 7);
  // Streams: v1 a1 v3 a3 v4 a4 meta.
  const int cameraOfStream[] = {1, 0, 3, 0, 4, 0, 0};
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const int stream = std::stoi(chunks[i].id.substr(0, 2));
    ASSERT_EQ(stream, int(i % 7));
    const int64_t k = int64_t(i / 7);
    uint8_t expected[kMetadataSampleBytes];
    if (chunks[i].id.substr(2) == "dc") {
      ASSERT_GE(chunks[i].data.size(), kFrameMinimumBytes);
      PackMetadataSample(recgen::ExpectedMetadata(o, cameraOfStream[stream], k), expected);
      EXPECT_EQ(std::memcmp(chunks[i].data.data() + kFrameMetadataOffset, expected, sizeof expected), 0) << i;
    } else if (stream == 6) {
      ASSERT_EQ(chunks[i].data.size(), kMetadataSampleBytes);
      PackMetadataSample(recgen::ExpectedMetadata(o, 0, k), expected);
      EXPECT_EQ(std::memcmp(chunks[i].data.data(), expected, sizeof expected), 0);
    }
  }
}

TEST(RecgenFiles, ExpectedMetadataMovesOnAndStaysInRange) {
  recgen::RecordingOptions o = Short();
  o.fps = 25;
  const MetadataSample first = recgen::ExpectedMetadata(o, 2, 0);
  EXPECT_EQ(first.utcSeconds, o.startUtc);
  EXPECT_EQ(first.localSeconds, o.startUtc - 8 * 3600);
  EXPECT_EQ(first.satellites, 7);
  const MetadataSample later = recgen::ExpectedMetadata(o, 2, 25 * 61 + 5);  // 61.2 s
  EXPECT_EQ(later.utcSeconds, o.startUtc + 61);
  EXPECT_EQ(later.milliseconds, 200);
  EXPECT_NE(later.latitude, first.latitude);
  EXPECT_NE(later.longitude, first.longitude);
  uint32_t seenTriggers = 0;
  for (int64_t k = 0; k < 25 * 600; k += 5) {
    const MetadataSample m = recgen::ExpectedMetadata(o, 1, k);
    seenTriggers |= m.triggerBits;
    EXPECT_GE(m.speed, 10u);
    EXPECT_LE(m.speed, 70u);
    // Minutes field of the DD.MMmmmm packing stays below 60.
    EXPECT_LT(std::abs(m.latitude) % 1000000, 600000);
    EXPECT_LT(std::abs(m.longitude) % 1000000, 600000);
    EXPECT_LT(m.longitude, 0);
  }
  EXPECT_EQ(seenTriggers, 0x7FFu);
  // A later file of a sequence continues the clock.
  recgen::RecordingOptions next = o;
  next.firstFrame = 50;
  EXPECT_EQ(recgen::ExpectedMetadata(next, 1, 0).utcSeconds, recgen::ExpectedMetadata(o, 1, 50).utcSeconds);
}

TEST(RecgenFiles, TextLineFramesHoldThreeLinesInTheirTailAndStillDecode) {
  TempDir dir;
  for (const char* placement : {"A", "B"}) {
    const auto file = Write(dir, std::string("t") + placement + ".avi",
                            std::string("--kind 1 --header380 --seconds 0.3 --text-lines ") + placement);
    recgen::RecordingOptions o = Short(0.3);
    o.kind = 1;
    o.textLines = placement[0] == 'A' ? recgen::TextLines::kA : recgen::TextLines::kB;
    const auto chunks = MoviChunks(ReadWholeFile(file));
    int frame = 0;
    for (const ProbedChunk& c : chunks) {
      if (c.id != "00dc") continue;
      ASSERT_GE(c.data.size(), kFrameMinimumBytes);
      EXPECT_FALSE(HasMetadataMagic(c.data.data() + kFrameMetadataOffset));
      const uint8_t* tail = c.data.data() + c.data.size() - 128;
      const std::size_t first = placement[0] == 'A' ? 0 : 8;
      const auto lines = recgen::ExpectedTextLines(o, 1, frame++);
      for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(tail[first + 31 * i + 30], 0);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(tail + first + 31 * i)), lines[i]);
        EXPECT_EQ(lines[i].size(), 30u);
      }
      EXPECT_EQ(tail[30] == 0, placement[0] == 'A')
          << "the reader tells the placements apart by tail byte 30";
    }
    EXPECT_EQ(frame, 9);
    const auto decoded = FfmpegBgrxFrames(file, 0, 320, 240);
    ASSERT_EQ(decoded.size(), 9u);
    EXPECT_EQ(DecodeFrameNumber(decoded[4].data(), 320, 240, 320 * 4), 4);
  }
  const auto lines = recgen::ExpectedTextLines(Short(), 1, 0);
  EXPECT_EQ(lines[0], "03/01/11 UNIT01  040K 06:05:09");
  EXPECT_TRUE(std::regex_match(lines[1], std::regex("Lat  49\xB0\\d\\d'\\d\\d\"N \\d{3}mph 06 sats")));
  EXPECT_TRUE(std::regex_match(lines[2], std::regex("Lon 122\xB0\\d\\d'\\d\\d\"W  HDG\\d{3} ALT\\d{3}")));
}

TEST(RecgenFiles, HeaderVariantsSitAtTheirOffsets) {
  TempDir dir;
  const auto plain = ReadWholeFile(Write(dir, "a.avi", "--seconds 0.2"));
  EXPECT_NE(avi::ReadLE16(&plain[16]), 0x017C);
  EXPECT_EQ(plain[56], 8) << "avih stream count";

  for (int kind : {1, 2, 3}) {
    const auto f =
        ReadWholeFile(Write(dir, "k.avi", "--seconds 0.2 --header380 --kind " + std::to_string(kind)));
    EXPECT_EQ(avi::ReadLE16(&f[16]), 0x017C);
    const uint8_t widthByte[] = {0, 0x40, 0x40, 0x80};
    EXPECT_EQ(f[64], widthByte[kind]);
    EXPECT_EQ(f[68] == 0xE0, kind == 2);
  }

  const auto one = ReadWholeFile(Write(dir, "o.avi", "--seconds 0.2 --one-stream-header"));
  EXPECT_EQ(std::string(one.begin() + 24, one.begin() + 28), "avih");
  EXPECT_EQ(one[24 + 32], 1);

  const auto h264 = ReadWholeFile(Write(dir, "h.avi", "--seconds 0.2 --h264"));
  EXPECT_NE(std::string(h264.begin(), h264.begin() + 1000).find("H264"), std::string::npos);
  EXPECT_EQ(std::string(plain.begin(), plain.begin() + 1000).find("H264"), std::string::npos);

  const auto unnamed = ReadWholeFile(Write(dir, "n.avi", "--seconds 0.2 --no-strn"));
  EXPECT_EQ(std::string(unnamed.begin(), unnamed.begin() + 4000).find("strn"), std::string::npos);
  const std::string head(plain.begin(), plain.begin() + 4000);
  for (const char* name : {"Stream 00", "Stream 01", "Stream 06", "Stream 07"})
    EXPECT_NE(head.find(std::string(name) + '\0'), std::string::npos) << name;
}

TEST(RecgenFiles, ConfigBlockAndVersionWhereThePropertyReaderLooks) {
  TempDir dir;
  const auto start = ReadWholeFile(Write(
      dir, "s.avi", "--seconds 0.2 --title 'Van 12' --trigger-names Stop,Go --version 'DVR 9' --audio 1,4"));
  const std::string head(start.begin(), start.begin() + 10000);
  EXPECT_LT(head.find(std::string("set system.title-1 Van 12\0", 26)), 9500u);
  EXPECT_NE(head.find(std::string("set trigger.name1 Stop\0", 23)), std::string::npos);
  EXPECT_NE(head.find(std::string("set trigger.name2 Go\0", 21)), std::string::npos);
  EXPECT_NE(head.find(std::string("set trigger.name11 Ignition\0", 28)), std::string::npos);
  EXPECT_NE(head.find(std::string("set camera-2.audio OFF\0", 23)), std::string::npos);
  EXPECT_NE(head.find(std::string("set camera-4.audio ON\0", 22)), std::string::npos);
  EXPECT_NE(head.find(std::string("set camera-2.bitRate 1664000\0", 29)), std::string::npos);
  const std::size_t junk = head.find(std::string("JUNK\x00\x01\x00\x00MDVR", 12));  // 256-byte payload
  ASSERT_NE(junk, std::string::npos);
  EXPECT_EQ(std::string(head.c_str() + junk + 208), "DVR 9");

  const auto end = ReadWholeFile(Write(dir, "e.avi", "--seconds 0.2 --config-at end --title Tail"));
  const std::string first(end.begin(), end.begin() + 10000);
  EXPECT_EQ(first.find("set trigger.name"), std::string::npos);
  const std::string last(end.end() - 1000, end.end());
  EXPECT_NE(last.find(std::string("set trigger.name1 Brake\0", 24)), std::string::npos);
  EXPECT_NE(last.find(std::string("set system.title-1 Tail\0", 24) + std::string(65, '.')),
            std::string::npos);
  EXPECT_EQ(end.back(), '.');

  const auto none = ReadWholeFile(Write(dir, "x.avi", "--seconds 0.2 --config none --version none"));
  EXPECT_EQ(std::string(none.begin(), none.end()).find("set "), std::string::npos);
  EXPECT_EQ(std::string(none.begin(), none.begin() + 10000).find("MDVR"), std::string::npos);

  std::ofstream(dir / "cfg.txt") << "set system.title-1 FromFile\r\nset gps.enable NO\n";
  const auto fromFile =
      ReadWholeFile(Write(dir, "f.avi", "--seconds 0.2 --config '" + (dir / "cfg.txt").string() + "'"));
  const std::string fh(fromFile.begin(), fromFile.begin() + 10000);
  EXPECT_NE(fh.find(std::string("set system.title-1 FromFile\0set gps.enable NO\0", 46)), std::string::npos);
}

TEST(RecgenFiles, FfmpegDecodesTheFrameNumbersAndTheTones) {
  TempDir dir;
  const auto file = Write(dir, "d.avi", "--seconds 1 --fps 10 --channels 2,4 --size 640x480");
  for (int v = 0; v < 2; ++v) {
    const auto frames = FfmpegBgrxFrames(file, v, 640, 480);
    ASSERT_EQ(frames.size(), 10u);
    for (std::size_t k = 0; k < frames.size(); ++k)
      EXPECT_EQ(DecodeFrameNumber(frames[k].data(), 640, 480, 640 * 4), int64_t(k));
  }
  // Camera 2 sounds 800 Hz, camera 4 1600 Hz: count upward zero crossings in one second.
  const int expectedHz[] = {800, 1600};
  for (int a = 0; a < 2; ++a) {
    const auto samples = FfmpegAudio(file, a);
    ASSERT_EQ(samples.size(), 8000u);
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) crossings += samples[i - 1] < 0 && samples[i] >= 0;
    EXPECT_NEAR(crossings, expectedHz[a], 2);
  }
}

TEST(RecgenFiles, TwoChannelPicturesAndStereoAudioKeepCamerasApart) {
  TempDir dir;
  const auto stacked = Write(dir, "k2.avi", "--kind 2 --seconds 0.4 --fps 10");
  const auto frames = FfmpegBgrxFrames(stacked, 0, 320, 480);
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(DecodeFrameNumber(frames[3].data(), 320, 240, 320 * 4), 3);
  EXPECT_EQ(DecodeFrameNumber(frames[3].data() + 240 * 320 * 4, 320, 240, 320 * 4), 3);

  const auto wide = Write(dir, "k3.avi", "--kind 3 --seconds 1 --fps 10");
  const auto wf = FfmpegBgrxFrames(wide, 0, 640, 240);
  ASSERT_EQ(wf.size(), 10u);
  EXPECT_EQ(DecodeFrameNumber(wf[7].data(), 320, 240, 640 * 4), 7);
  EXPECT_EQ(DecodeFrameNumber(wf[7].data() + 320 * 4, 320, 240, 640 * 4), 7);
  const auto stereo = FfmpegAudio(wide, 0);
  ASSERT_EQ(stereo.size(), 16000u);
  int crossings[2] = {0, 0};
  for (std::size_t i = 2; i < stereo.size(); ++i) crossings[i % 2] += stereo[i - 2] < 0 && stereo[i] >= 0;
  EXPECT_NEAR(crossings[0], 400, 2) << "camera 1 in the first sample of each pair";
  EXPECT_NEAR(crossings[1], 800, 2) << "camera 2 in the second";
}

// avidemux exposes one pad per stream, and jpegdec output carries the
// frame numbers.
struct GstRun {
  int pads = 0;
  std::vector<int64_t> frameNumbers;
};

GstRun RunAvidemux(const std::filesystem::path& file) {
  gst_init(nullptr, nullptr);
  GstRun run;
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* src = gst_element_factory_make("filesrc", nullptr);
  GstElement* demux = gst_element_factory_make("avidemux", nullptr);
  g_object_set(src, "location", file.c_str(), nullptr);
  gst_bin_add_many(GST_BIN(pipeline), src, demux, nullptr);
  gst_element_link(src, demux);
  struct Context {
    GstElement* pipeline;
    GstRun* run;
  } ctx{pipeline, &run};
  g_signal_connect(
      demux, "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer data) {
        auto* c = static_cast<Context*>(data);
        c->run->pads += 1;
        gchar* name = gst_pad_get_name(pad);
        const bool firstVideo = std::strcmp(name, "video_0") == 0;
        g_free(name);
        GstElement* sink;
        if (firstVideo) {
          GstElement* bin = gst_parse_bin_from_description(
              "queue ! jpegdec ! videoconvert ! video/x-raw,format=BGRx ! appsink name=frames sync=false",
              TRUE, nullptr);
          sink = bin;
        } else {
          sink = gst_parse_bin_from_description("queue ! fakesink sync=false", TRUE, nullptr);
        }
        gst_bin_add(GST_BIN(c->pipeline), sink);
        gst_element_sync_state_with_parent(sink);
        GstPad* sinkPad = gst_element_get_static_pad(sink, "sink");
        gst_pad_link(pad, sinkPad);
        gst_object_unref(sinkPad);
      }),
      &ctx);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  // Pull frames until EOS; the appsink appears once the pad is added.
  GstBus* bus = gst_element_get_bus(pipeline);
  for (;;) {
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "frames");
    if (sink) {
      for (;;) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), GST_SECOND);
        if (!sample) break;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
          GstStructure* s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
          int w = 0, h = 0;
          gst_structure_get_int(s, "width", &w);
          gst_structure_get_int(s, "height", &h);
          run.frameNumbers.push_back(DecodeFrameNumber(map.data, w, h, w * 4));
          gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
      }
      gst_object_unref(sink);
      break;
    }
    GstMessage* msg = gst_bus_timed_pop_filtered(bus, 100 * GST_MSECOND,
                                                 GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
    if (msg) {
      gst_message_unref(msg);
      break;
    }
  }
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return run;
}

TEST(RecgenFiles, AvidemuxExposesOnePadPerStreamAndDecodesTheFrames) {
  TempDir dir;
  const auto full = Write(dir, "g.avi", "--seconds 0.4 --fps 10 --size 360x240 --meta both");
  const GstRun run = RunAvidemux(full);
  EXPECT_EQ(run.pads, 9);
  EXPECT_EQ(run.frameNumbers, (std::vector<int64_t>{0, 1, 2, 3}));

  const auto partial = Write(dir, "p.avi", "--seconds 0.2 --fps 10 --size 320x240 --channels 2 --audio none");
  EXPECT_EQ(RunAvidemux(partial).pads, 1);
}

TEST(RecgenFiles, SequenceAndGroupContinueFromFileToFile) {
  TempDir dir;
  int status = -1;
  std::string out =
      Recgen("sequence '" + dir.path().string() + "' Run 3 --seconds 0.5 --fps 10 --size 320x240", &status);
  ASSERT_EQ(status, 0) << out;
  for (int i = 0; i < 3; ++i) {
    const auto file = dir / ("Run-00" + std::to_string(i + 1) + ".avi");
    const auto frames = FfmpegBgrxFrames(file, 3, 320, 240);
    ASSERT_EQ(frames.size(), 5u) << file;
    EXPECT_EQ(DecodeFrameNumber(frames[0].data(), 320, 240, 320 * 4), 5 * i);
    const auto chunks = MoviChunks(ReadWholeFile(file));
    const MetadataSample m = UnpackMetadataSample(chunks[0].data.data() + kFrameMetadataOffset);
    EXPECT_EQ(m.utcSeconds * 1000ull + uint64_t(m.milliseconds), 1298988309000ull + 500ull * uint64_t(i));
  }

  out = Recgen("group '" + (dir / "g").string() + "' --prefix Bus --continuations 2 --seconds 1 --fps 5",
               &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(out, (dir / "g" / "Bus_Mar01--2011_06.05.09.avi").string() + "\n" +
                     (dir / "g" / "Bus_Mar01--2011_06.05.10+.avi").string() + "\n" +
                     (dir / "g" / "Bus_Mar01--2011_06.05.11+.avi").string() + "\n");
  for (const char* name : {"Bus_Mar01--2011_06.05.10+.avi", "Bus_Mar01--2011_06.05.11+.avi"}) {
    const std::string n = name;
    EXPECT_NE(n[n.size() - 8], '-') << "must not look like a numbered file";
  }
}

TEST(RecgenFiles, DemoIsAThreeFileFourCameraTrip) {
  TempDir dir;
  int status = -1;
  const std::string out = Recgen("demo '" + (dir / "demo").string() + "'", &status);
  ASSERT_EQ(status, 0) << out;
  for (int i = 1; i <= 3; ++i) {
    const auto file = dir / "demo" / ("Trip-00" + std::to_string(i) + ".avi");
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(Probe(file),
              "mjpeg,720,480\npcm_mulaw,1\nmjpeg,720,480\npcm_mulaw,1\n"
              "mjpeg,720,480\npcm_mulaw,1\nmjpeg,720,480\npcm_mulaw,1\n");
    const auto bytes = ReadWholeFile(file);
    const std::string head(bytes.begin(), bytes.begin() + 10000);
    EXPECT_NE(head.find(std::string("set system.title-1 QMX Demo Van\0", 32)), std::string::npos);
  }
  const auto frames = FfmpegBgrxFrames(dir / "demo" / "Trip-002.avi", 2, 720, 480);
  ASSERT_EQ(frames.size(), 150u);
  EXPECT_EQ(DecodeFrameNumber(frames.front().data(), 720, 480, 720 * 4), 150);
  EXPECT_EQ(DecodeFrameNumber(frames.back().data(), 720, 480, 720 * 4), 299);
}

TEST(RecgenFiles, BadOptionsFailCleanlyAndLeaveNoFile) {
  TempDir dir;
  const std::string target = "'" + (dir / "bad.avi").string() + "'";
  for (const std::string& args : std::vector<std::string>{
           "--size 100x100", "--kind 7", "--fps 0", "--meta sometimes", "--channels 5", "--seconds",
           "--bogus 1", "--config '" + (dir / "nope.txt").string() + "'", "--header380"}) {
    int status = -1;
    const std::string out = Recgen("write " + target + " " + args, &status);
    EXPECT_EQ(status, 1) << args << ": " << out;
    EXPECT_EQ(out.rfind("recgen: ", 0), 0u) << out;
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.avi")) << args;
  }
  int status = -1;
  Recgen("write '" + (dir / "no" / "such" / "x.avi").string() + "'", &status);
  EXPECT_EQ(status, 1);
}

}  // namespace
