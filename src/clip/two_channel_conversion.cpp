#include "clip/two_channel_conversion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "avi/avi_reader.h"
#include "avi/avi_writer.h"
#include "clip/private_temp_folder.h"

namespace clip {
namespace {

constexpr std::size_t kStreamsKept = 2;
constexpr std::size_t kTestBytes = 70;

ConvertOutcome Outcome(ConvertStatus status, std::string message, std::string detail) {
  return {status, std::move(message), std::move(detail)};
}

std::string CannotOverwrite(const std::string& path) {
  return "Unable to overwrite " + path +
         ". Conversion failed. Make sure you have permission to write in the folder and no other application "
         "has "
         "this file open.";
}

// Flushes the new file to the disk before it takes the source's place, so a
// crash can't leave an empty file under the recording's name.
bool SyncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

bool IsOriginalTwoChannelHeader(const uint8_t* bytes, std::size_t size) {
  if (size < kTestBytes) return false;
  return bytes[16] == 0x7C && bytes[17] == 0x01 &&
         (bytes[68] == 0xE0 || bytes[64] == 0x80 || bytes[64] == 0x40);
}

bool IsOriginalTwoChannel(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  uint8_t bytes[kTestBytes] = {};
  if (!in.read(reinterpret_cast<char*>(bytes), sizeof bytes)) return false;
  return IsOriginalTwoChannelHeader(bytes, sizeof bytes);
}

int ConversionProgress(double fraction) {
  const int perMille = int(std::clamp(fraction, 0.0, 1.0) * 1000);
  return std::min(4 * perMille, 999);
}

ConvertOutcome ConvertFile(const std::string& path, const std::atomic<bool>& cancel,
                           const std::function<void(int)>& progress) {
  if (progress) progress(0);
  avi::AviReader source;
  if (!source.Open(path))
    return Outcome(ConvertStatus::kSourceError, "Error loading file into filter graph on conversion",
                   path + ": " + source.Error());
  if (source.StreamCount() < kStreamsKept)
    return Outcome(ConvertStatus::kSourceError, "Error adding in mux in conversion.",
                   path + ": fewer than two streams");

  std::string error;
  const std::string temporary = CreateSiblingTemporary(path, error).string();
  if (temporary.empty())
    return Outcome(ConvertStatus::kWriteError, CannotOverwrite(path), path + ": " + error);
  struct Remove {
    std::string path;
    ~Remove() {
      if (!path.empty()) ::unlink(path.c_str());
    }
  } removeTemporary{temporary};

  // Both streams in the order they are stored, as a demuxer hands them on.
  std::vector<avi::FileChunk> chunks = source.ChunksInFileOrder();
  chunks.erase(std::remove_if(chunks.begin(), chunks.end(),
                              [](const avi::FileChunk& c) {
                                return c.stream < 0 || std::size_t(c.stream) >= kStreamsKept;
                              }),
               chunks.end());
  avi::AviWriter writer(source.Header());
  for (std::size_t s = 0; s < kStreamsKept; ++s) {
    avi::WriterStream out;
    out.strh = source.Stream(s).strh;
    out.strf = source.Stream(s).strf;
    out.strh.resize(std::max(out.strh.size(), avi::kStreamHeaderBytes), 0);
    if (!source.Stream(s).name.empty()) out.name = source.Stream(s).name;
    writer.AddStream(std::move(out));
  }
  writer.EnableOpenDml();
  if (!writer.Open(temporary))
    return Outcome(ConvertStatus::kWriteError, "Error executing conversion.", writer.error());
  std::vector<uint8_t> data;
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    if (cancel.load(std::memory_order_relaxed)) {
      writer.Close();
      return Outcome(ConvertStatus::kCancelled, "", "");
    }
    data.resize(chunks[i].size);
    if (!source.ReadBytes(chunks[i].offset, data.data(), data.size()))
      return Outcome(ConvertStatus::kSourceError, "Error executing conversion.",
                     path + ": a chunk can't be read (truncated or unreadable)");
    if (!writer.WriteChunk(chunks[i].stream, data.data(), data.size(), chunks[i].keyframe))
      return Outcome(ConvertStatus::kWriteError, "Error executing conversion.", writer.error());
    if (progress && i % 16 == 0) progress(ConversionProgress(double(i) / double(chunks.size())));
  }
  if (!writer.Close())
    return Outcome(ConvertStatus::kWriteError, "Error executing conversion.", writer.error());

  // Verified: the copy holds every chunk of both streams, byte for byte.
  avi::AviReader copy;
  bool same = copy.Open(temporary) && copy.StreamCount() == kStreamsKept;
  std::vector<uint8_t> other;
  for (std::size_t s = 0; same && s < kStreamsKept; ++s) {
    same = copy.ChunkCount(s) == source.ChunkCount(s);
    for (std::size_t k = 0; same && k < copy.ChunkCount(s); ++k)
      same = copy.ReadChunk(s, k, data) && source.ReadChunk(s, k, other) && data == other;
  }
  if (!same)
    return Outcome(ConvertStatus::kWriteError, "Error executing conversion.",
                   temporary + ": the converted file does not read back as the source");
  if (cancel.load()) return Outcome(ConvertStatus::kCancelled, "", "");

  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) ::chmod(temporary.c_str(), st.st_mode & 07777);
  if (!SyncFile(temporary) || std::rename(temporary.c_str(), path.c_str()) != 0)
    return Outcome(ConvertStatus::kReplaceError, CannotOverwrite(path), path + ": " + std::strerror(errno));
  removeTemporary.path.clear();
  if (progress) progress(1000);
  return Outcome(ConvertStatus::kConverted, "", "");
}

}  // namespace clip
