#include "avi/avi_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace avi {
namespace {

// idx1 offsets and the RIFF size are 32-bit: stop well before they wrap.
constexpr uint64_t kMaxRiffBytes = 0xFFFFFF00ull;

// OpenDML layouts.
constexpr std::size_t kSuperIndexHeaderBytes = 24;
constexpr std::size_t kSuperIndexEntryBytes = 16;
constexpr std::size_t kStdIndexHeaderBytes = 24;
constexpr std::size_t kStdIndexEntryBytes = 8;
constexpr std::size_t kDmlhBytes = 248;
constexpr uint8_t kIndexOfIndexes = 0;
constexpr uint8_t kIndexOfChunks = 1;
constexpr uint32_t kStdIndexNotKeyframe = 0x80000000u;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void Put64(std::vector<uint8_t>& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// "ix00", "ix01", ...: the standard index of a stream.
FourCC StdIndexId(std::size_t stream) {
  return (MakeFourCC("ix00") & 0x0000FFFFu) | uint32_t('0' + stream / 10 % 10) << 16 |
         uint32_t('0' + stream % 10) << 24;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  const std::size_t at = out.size();
  out.resize(at + 4);
  WriteLE32(out.data() + at, v);
}

void PutChunk(std::vector<uint8_t>& out, FourCC id, const uint8_t* data, std::size_t size) {
  Put32(out, id);
  Put32(out, uint32_t(size));
  out.insert(out.end(), data, data + size);
  if (size & 1) out.push_back(0);
}

std::size_t PaddedChunkBytes(std::size_t payload) {
  return 8 + payload + (payload & 1);
}

}  // namespace

WriterStream MakeWriterStream(const StreamHeader& header, std::vector<uint8_t> strf,
                              std::optional<std::string> name) {
  WriterStream s;
  s.strh.resize(kStreamHeaderBytes);
  SerializeStreamHeader(header, s.strh.data());
  s.strf = std::move(strf);
  s.name = std::move(name);
  return s;
}

std::vector<uint8_t> MakeBitmapInfo(int32_t width, int32_t height, FourCC compression, uint16_t bitCount,
                                    uint32_t imageBytes) {
  std::vector<uint8_t> b(kBitmapInfoBytes, 0);
  WriteLE32(b.data() + 0, uint32_t(kBitmapInfoBytes));
  WriteLE32(b.data() + 4, uint32_t(width));
  WriteLE32(b.data() + 8, uint32_t(height));
  WriteLE16(b.data() + 12, 1);  // planes
  WriteLE16(b.data() + 14, bitCount);
  WriteLE32(b.data() + 16, compression);
  WriteLE32(b.data() + 20, imageBytes);
  return b;
}

std::vector<uint8_t> MakeWaveFormat(uint16_t formatTag, uint16_t channels, uint32_t samplesPerSecond,
                                    uint16_t bitsPerSample, uint16_t blockAlign) {
  std::vector<uint8_t> w(kWaveFormatBytes, 0);
  WriteLE16(w.data() + 0, formatTag);
  WriteLE16(w.data() + 2, channels);
  WriteLE32(w.data() + 4, samplesPerSecond);
  WriteLE32(w.data() + 8, samplesPerSecond * blockAlign);
  WriteLE16(w.data() + 12, blockAlign);
  WriteLE16(w.data() + 14, bitsPerSample);
  return w;
}

AviWriter::AviWriter(const MainHeader& main) : main_(main) {}

AviWriter::~AviWriter() {
  if (file_) std::fclose(file_);
}

int AviWriter::AddStream(WriterStream stream) {
  if (headerWritten_ || stream.strh.size() < kStreamHeaderBytes || streams_.size() >= 100) return -1;
  StreamState state;
  const FourCC type = ReadLE32(stream.strh.data());
  const unsigned index = unsigned(streams_.size());
  state.chunkId = type == kVids   ? StreamChunkId(index, "dc")
                  : type == kAuds ? StreamChunkId(index, "wb")
                                  : StreamChunkId(index, "tx");
  state.spec = std::move(stream);
  streams_.push_back(std::move(state));
  return int(index);
}

void AviWriter::SetHeaderListBytes(uint32_t bytes) {
  headerListBytes_ = bytes;
}

void AviWriter::AddChunkBeforeMovi(FourCC id, std::vector<uint8_t> payload) {
  extraChunks_.emplace_back(id, std::move(payload));
}

void AviWriter::SetTrailer(std::vector<uint8_t> bytes) {
  trailer_ = std::move(bytes);
}

void AviWriter::SetDeclaredStreamCount(uint32_t count) {
  declaredStreams_ = count;
}

void AviWriter::EnableOpenDml(uint64_t riffBytes) {
  if (headerWritten_) return;
  openDml_ = true;
  riffLimit_ = riffBytes;
}

bool AviWriter::Fail(std::string message) {
  if (!failed_) error_ = std::move(message);
  failed_ = true;
  return false;
}

bool AviWriter::Open(const std::filesystem::path& path) {
  if (file_ || failed_) return Fail("writer already used");
  path_ = path;
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return Fail("cannot create " + path.string() + ": " + std::strerror(errno));
  return true;
}

bool AviWriter::WriteBytes(const void* data, std::size_t size) {
  if (size == 0) return true;
  if (std::fwrite(data, 1, size, file_) != size)
    return Fail("cannot write " + path_.string() + ": " + std::strerror(errno));
  position_ += size;
  return true;
}

std::vector<uint8_t> AviWriter::BuildHeader() const {
  std::vector<uint8_t> h;
  h.reserve(4096);
  Put32(h, kRIFF);
  Put32(h, 0);  // RIFF size, patched by Close()
  Put32(h, kAVI);
  Put32(h, kLIST);
  const std::size_t hdrlSizeAt = h.size();
  Put32(h, 0);
  Put32(h, kHdrl);

  MainHeader m = main_;
  m.flags |= kAvifHasIndex;
  m.streams = declaredStreams_.value_or(uint32_t(streams_.size()));
  uint64_t moviBytes = 0;
  uint32_t largest = 0;
  const StreamState* firstVideo = nullptr;
  for (const StreamState& s : streams_) {
    moviBytes += s.bytes + 8ull * s.chunks;
    largest = std::max(largest, s.largestChunk);
    if (!firstVideo && ReadLE32(s.spec.strh.data()) == kVids) firstVideo = &s;
  }
  m.totalFrames = firstVideo ? (firstRiffDone_ ? firstVideo->firstRiffChunks : firstVideo->chunks) : 0;
  m.suggestedBufferSize = largest + 8;
  const uint64_t micros = uint64_t(m.totalFrames) * m.microSecPerFrame;
  if (micros > 0)
    m.maxBytesPerSec = uint32_t(std::min<uint64_t>(moviBytes * 1000000ull / micros, 0xFFFFFFFFu));
  uint8_t avih[kMainHeaderBytes];
  SerializeMainHeader(m, avih);
  PutChunk(h, kAvih, avih, sizeof avih);

  for (const StreamState& s : streams_) {
    Put32(h, kLIST);
    const std::size_t strlSizeAt = h.size();
    Put32(h, 0);
    Put32(h, kStrl);
    std::vector<uint8_t> strh = s.spec.strh;
    if (s.spec.patchLength) {
      const uint32_t sampleSize = ReadLE32(strh.data() + 44);
      const uint64_t length = sampleSize ? s.bytes / sampleSize : s.chunks;
      WriteLE32(strh.data() + 32, uint32_t(length));
    }
    if (ReadLE32(strh.data() + 36) == 0) WriteLE32(strh.data() + 36, s.largestChunk);
    PutChunk(h, kStrh, strh.data(), strh.size());
    PutChunk(h, kStrf, s.spec.strf.data(), s.spec.strf.size());
    if (openDml_) {
      // Room for every part's entry is kept from the start: the header is
      // written before the first chunk.
      std::vector<uint8_t> indx;
      Put16(indx, 4);  // longs per entry
      indx.push_back(0);
      indx.push_back(kIndexOfIndexes);
      Put32(indx, uint32_t(s.superIndex.size()));
      Put32(indx, s.chunkId);
      indx.resize(kSuperIndexHeaderBytes, 0);
      for (const SuperEntry& e : s.superIndex) {
        Put64(indx, e.offset);
        Put32(indx, e.size);
        Put32(indx, e.duration);
      }
      indx.resize(kSuperIndexHeaderBytes + kSuperIndexEntryBytes * kMaxRiffParts, 0);
      PutChunk(h, kIndx, indx.data(), indx.size());
    }
    if (s.spec.name) {
      const std::string& n = *s.spec.name;
      PutChunk(h, kStrn, reinterpret_cast<const uint8_t*>(n.c_str()), n.size() + 1);
    }
    if (!s.spec.vprp.empty()) PutChunk(h, kVprp, s.spec.vprp.data(), s.spec.vprp.size());
    WriteLE32(h.data() + strlSizeAt, uint32_t(h.size() - strlSizeAt - 4));
  }

  if (openDml_) {
    Put32(h, kLIST);
    Put32(h, uint32_t(4 + 8 + kDmlhBytes));
    Put32(h, kOdml);
    std::vector<uint8_t> dmlh(kDmlhBytes, 0);
    WriteLE32(dmlh.data(), firstVideo ? firstVideo->chunks : 0);
    PutChunk(h, kDmlh, dmlh.data(), dmlh.size());
  }
  const std::size_t naturalList = h.size() - hdrlSizeAt - 4;
  if (headerListBytes_ && *headerListBytes_ >= naturalList + 8) {
    const std::size_t junk = *headerListBytes_ - naturalList - 8;
    Put32(h, kJUNK);
    Put32(h, uint32_t(junk));
    h.resize(h.size() + junk, 0);
  }
  WriteLE32(h.data() + hdrlSizeAt, uint32_t(h.size() - hdrlSizeAt - 4));

  for (const auto& [id, payload] : extraChunks_) PutChunk(h, id, payload.data(), payload.size());

  Put32(h, kLIST);
  Put32(h, uint32_t(moviBytes + 4));
  Put32(h, kMovi);
  return h;
}

bool AviWriter::WriteHeader() {
  std::vector<uint8_t> header = BuildHeader();
  writtenHeaderListBytes_ = ReadLE32(header.data() + 16);
  if (headerListBytes_ && writtenHeaderListBytes_ != *headerListBytes_)
    return Fail("the stream headers need " + std::to_string(writtenHeaderListBytes_) +
                " bytes and cannot be padded to a header list of " + std::to_string(*headerListBytes_));
  if (!WriteBytes(header.data(), header.size())) return false;
  moviStart_ = firstMoviStart_ = position_ - 4;
  headerWritten_ = true;
  return true;
}

bool AviWriter::PatchLE32(uint64_t offset, uint32_t value) {
  uint8_t bytes[4];
  WriteLE32(bytes, value);
  if (::fseeko(file_, off_t(offset), SEEK_SET) != 0 || std::fwrite(bytes, 1, 4, file_) != 4 ||
      ::fseeko(file_, off_t(position_), SEEK_SET) != 0)
    return Fail("cannot update " + path_.string() + ": " + std::strerror(errno));
  return true;
}

uint64_t AviWriter::PendingIndexBytes() const {
  uint64_t bytes = firstRiffDone_ ? 0 : 8 + kIdx1EntryBytes * index_.size();
  if (openDml_)
    for (const StreamState& s : streams_)
      if (!s.part.empty()) bytes += 8 + kStdIndexHeaderBytes + kStdIndexEntryBytes * s.part.size();
  return bytes;
}

bool AviWriter::FinishRiff() {
  if (openDml_) {
    for (std::size_t i = 0; i < streams_.size(); ++i) {
      StreamState& s = streams_[i];
      if (s.part.empty()) continue;
      if (s.superIndex.size() >= kMaxRiffParts)
        return Fail("the recording needs more than " + std::to_string(kMaxRiffParts) + " index parts");
      std::vector<uint8_t> ix;
      Put32(ix, StdIndexId(i));
      Put32(ix, 0);
      Put16(ix, 2);  // longs per entry
      ix.push_back(0);
      ix.push_back(kIndexOfChunks);
      Put32(ix, uint32_t(s.part.size()));
      Put32(ix, s.chunkId);
      Put64(ix, moviStart_);
      Put32(ix, 0);
      for (const PartEntry& e : s.part) {
        Put32(ix, uint32_t(e.payloadOffset - moviStart_));
        Put32(ix, e.size | (e.keyframe ? 0u : kStdIndexNotKeyframe));
      }
      WriteLE32(ix.data() + 4, uint32_t(ix.size() - 8));
      const uint32_t sampleSize = ReadLE32(s.spec.strh.data() + 44);
      const uint64_t duration = sampleSize ? s.partBytes / sampleSize : s.part.size();
      s.superIndex.push_back({position_, uint32_t(ix.size()), uint32_t(duration)});
      if (!WriteBytes(ix.data(), ix.size())) return false;
      s.part.clear();
      s.partBytes = 0;
    }
  }
  const uint64_t moviEnd = position_;
  if (!firstRiffDone_) {
    std::vector<uint8_t> idx;
    idx.reserve(8 + index_.size() * kIdx1EntryBytes);
    Put32(idx, kIdx1);
    Put32(idx, uint32_t(index_.size() * kIdx1EntryBytes));
    for (const IndexEntry& e : index_) {
      Put32(idx, e.id);
      Put32(idx, e.flags);
      Put32(idx, e.offset);
      Put32(idx, e.size);
    }
    if (!WriteBytes(idx.data(), idx.size())) return false;
    firstMoviEnd_ = moviEnd;
    firstRiffEnd_ = position_;
    firstRiffDone_ = true;
    for (StreamState& s : streams_) s.firstRiffChunks = s.chunks;
    index_.clear();
    return true;  // the header rewrite sets the first part's sizes
  }
  return PatchLE32(moviStart_ - 4, uint32_t(moviEnd - moviStart_)) &&
         PatchLE32(riffStart_ + 4, uint32_t(position_ - riffStart_ - 8));
}

bool AviWriter::StartAvix() {
  if (riffParts_ >= kMaxRiffParts)
    return Fail("the recording needs more than " + std::to_string(kMaxRiffParts) + " parts");
  riffStart_ = position_;
  std::vector<uint8_t> head;
  Put32(head, kRIFF);
  Put32(head, 0);
  Put32(head, kAVIX);
  Put32(head, kLIST);
  Put32(head, 0);
  Put32(head, kMovi);
  if (!WriteBytes(head.data(), head.size())) return false;
  moviStart_ = position_ - 4;
  ++riffParts_;
  return true;
}

bool AviWriter::WriteChunk(int stream, const uint8_t* data, std::size_t size, bool keyframe) {
  if (failed_) return false;
  if (!file_) return Fail("writer not open");
  if (stream < 0 || std::size_t(stream) >= streams_.size())
    return Fail("no stream " + std::to_string(stream));
  if (size > 0 && !data) return Fail("chunk without data");
  if (!headerWritten_ && !WriteHeader()) return false;
  if (openDml_) {
    const uint64_t after = position_ - riffStart_ + PaddedChunkBytes(size) + PendingIndexBytes() + 64;
    const bool partHasChunks =
        std::any_of(streams_.begin(), streams_.end(), [](const StreamState& st) { return !st.part.empty(); });
    if (after > riffLimit_ && partHasChunks && !(FinishRiff() && StartAvix())) return false;
  } else {
    const uint64_t after =
        position_ + PaddedChunkBytes(size) + kIdx1EntryBytes * (index_.size() + 1) + 8 + trailer_.size();
    if (after > kMaxRiffBytes) return Fail("the recording would exceed the 4 GB an AVI index can address");
  }

  StreamState& s = streams_[std::size_t(stream)];
  uint8_t head[8];
  WriteLE32(head, s.chunkId);
  WriteLE32(head + 4, uint32_t(size));
  const uint32_t offset = uint32_t(position_ - firstMoviStart_);
  if (!WriteBytes(head, sizeof head) || !WriteBytes(data, size)) return false;
  if (size & 1) {
    const uint8_t pad = 0;
    if (!WriteBytes(&pad, 1)) return false;
  }
  if (!firstRiffDone_) index_.push_back({s.chunkId, keyframe ? kAviifKeyframe : 0u, offset, uint32_t(size)});
  if (openDml_) {
    s.part.push_back({position_ - PaddedChunkBytes(size) + 8, uint32_t(size), keyframe});
    s.partBytes += size;
  }
  s.chunks += 1;
  s.bytes += size;
  s.largestChunk = std::max(s.largestChunk, uint32_t(size));
  return true;
}

bool AviWriter::Close() {
  if (!file_) return Fail(failed_ ? error_ : "writer not open");
  bool ok = !failed_;
  if (ok && !headerWritten_) ok = WriteHeader();
  if (ok) ok = FinishRiff();
  if (ok) ok = WriteBytes(trailer_.data(), trailer_.size());
  if (ok) {
    // Rewrite the header with the final counts; it has the same size as
    // before because only numbers change.
    std::vector<uint8_t> header = BuildHeader();
    WriteLE32(header.data() + 4, uint32_t(firstRiffEnd_ - 8));
    WriteLE32(header.data() + header.size() - 8, uint32_t(firstMoviEnd_ - firstMoviStart_));
    if (std::fseek(file_, 0, SEEK_SET) != 0 ||
        std::fwrite(header.data(), 1, header.size(), file_) != header.size())
      ok = Fail("cannot update the header of " + path_.string() + ": " + std::strerror(errno));
  }
  if (std::fflush(file_) != 0 && ok)
    ok = Fail("cannot write " + path_.string() + ": " + std::strerror(errno));
  if (std::fclose(file_) != 0 && ok)
    ok = Fail("cannot close " + path_.string() + ": " + std::strerror(errno));
  file_ = nullptr;
  return ok && !failed_;
}

}  // namespace avi
