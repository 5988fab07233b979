#include "ffmpeg_packets.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "md5.h"

namespace avitest {

bool HaveProgram(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<Packet> FfmpegPackets(const std::string& path, const std::string& map) {
  std::istringstream lines(RunCommand("ffmpeg -v error -i " + ShellQuote(path) + " -map " + map +
                                      " -c copy -f framemd5 - 2>/dev/null"));
  std::vector<Packet> packets;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, ',');) {
      field.erase(0, field.find_first_not_of(' '));
      fields.push_back(field);
    }
    if (fields.size() == 6) packets.push_back(Packet{uint32_t(std::stoul(fields[4])), fields[5]});
  }
  return packets;
}

void ExpectSameAsFfmpeg(const avi::AviReader& reader, int stream, const std::vector<Packet>& expected,
                        std::size_t step) {
  ASSERT_GE(stream, 0);
  const std::size_t count = reader.ChunkCount(std::size_t(stream));
  ASSERT_EQ(count, expected.size());
  std::vector<uint8_t> data;
  for (std::size_t k = 0; k < count; ++k) {
    avi::ChunkEntry entry;
    ASSERT_TRUE(reader.Chunk(std::size_t(stream), k, entry));
    ASSERT_EQ(entry.size, expected[k].size) << "chunk " << k;
    if (k % step != 0 && k + 16 < count) continue;
    ASSERT_TRUE(reader.ReadChunk(std::size_t(stream), k, data));
    ASSERT_EQ(Md5Hex(data.data(), data.size()), expected[k].md5) << "chunk " << k;
  }
}

void HideTopLevelChunk(const std::filesystem::path& path, avi::FourCC id) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  uint64_t pos = 12;
  uint8_t header[8];
  while (f.seekg(std::streamoff(pos)) && f.read(reinterpret_cast<char*>(header), 8)) {
    if (avi::ReadLE32(header) == id) {
      f.seekp(std::streamoff(pos));
      f.write("JUNK", 4);
      return;
    }
    const uint64_t size = avi::ReadLE32(header + 4);
    pos += 8 + size + (size & 1);
  }
  ADD_FAILURE() << "no " << avi::FourCCText(id) << " chunk";
}

}  // namespace avitest
