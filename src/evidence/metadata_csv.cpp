#include "evidence/metadata_csv.h"

#include <map>
#include <memory>
#include <vector>

#include "avi/avi_reader.h"
#include "engine/recording_summary.h"
#include "evidence/bookmarks.h"
#include "metadata/clock_text.h"
#include "metadata/metadata_decoder.h"
#include "metadata/trigger_names.h"
#include "metadata/windows1252.h"

namespace evidence {
namespace {

const std::vector<std::string> kRecordLabels = {
    "UTC Time", "Local Time",     "GPS Sat Count",  "Latitude",       "Longitude",
    "Speed",    "X Acceleration", "Y Acceleration", "Z Acceleration", "Triggers"};
const std::vector<std::string> kLineLabels = {"Line1", "Line2", "Line3"};

// Keeps the texts of the sample being decoded.
class RowCollector : public CMetadataInterface {
 public:
  void OnMetadata(const char*, const char* label, const char* text) override { texts_[label] = text; }
  void Clear() { texts_.clear(); }
  std::string Text(const std::string& label) const {
    const auto it = texts_.find(label);
    return it == texts_.end() ? std::string() : it->second;
  }

 private:
  std::map<std::string, std::string> texts_;
};

// Whether the recording's frames carry text lines: the layout is known from
// the DVR kind, or revealed by the first video frame.
bool UsesTextLines(const avi::AviReader& reader, const RecordingSummary& summary) {
  if (IsTwoChannel(summary.dvrKind)) return true;
  for (std::size_t s = 0; s < summary.streamChannel.size(); ++s) {
    if (summary.streamChannel[s] < 0 || reader.Stream(s).header.type != avi::kVids) continue;
    std::vector<uint8_t> frame;
    if (reader.ChunkCount(s) == 0 || !reader.ReadChunk(s, 0, frame)) return false;
    MetadataDecoder probe("probe", DvrLayout::kFourChannel);
    probe.ParseMetadataSample(frame.data(), frame.size());
    return probe.TextLines();
  }
  return false;
}

}  // namespace

std::string CsvField(const std::string& raw) {
  // The DVR's texts are Windows-1252 (0xB0 in every coordinate line); CSV
  // readers expect UTF-8.
  return CsvQuoted(Utf8FromWindows1252(raw));
}

std::string CsvQuoted(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

ExportStatus WriteMetadataCsv(const std::string& path, std::ostream& out, std::string& reason,
                              std::optional<int64_t> correctionMillis) {
  avi::AviReader reader;
  if (!reader.Open(path)) return reason = reader.Error(), ExportStatus::kBadInput;
  const RecordingSummary summary = SummariseRecording(path, reader);
  // Opening a recording starts from the default names, then the file's own.
  SetTriggerNames(summary.props.triggerNames);

  const std::vector<std::string>& labels = UsesTextLines(reader, summary) ? kLineLabels : kRecordLabels;
  const int64_t correction = &labels == &kLineLabels ? 0
                             : correctionMillis      ? *correctionMillis
                                                     : LoadRecordingNotes({path}).clockCorrectionMillis;
  out << "channel,frame";
  for (const std::string& label : labels) out << ',' << CsvField(label);
  if (correction != 0) out << ",Corrected Local Time (" << FormatClockCorrection(correction) << ')';
  out << "\r\n";

  RowCollector collector;
  // One decoder per channel and one for the metadata stream, as the player's
  // extractors have, so each keeps its own text-line state.
  std::vector<std::unique_ptr<MetadataDecoder>> decoders(reader.StreamCount());
  std::map<int, long long> framesOfChannel;  // -1: the metadata stream
  std::vector<std::size_t> chunksOfStream(reader.StreamCount(), 0);
  std::vector<uint8_t> chunk;
  for (const avi::FileChunk& c : reader.ChunksInFileOrder()) {
    const std::size_t s = std::size_t(c.stream);
    if (s >= reader.StreamCount()) continue;
    const avi::FourCC type = reader.Stream(s).header.type;
    int channel;
    if (type == avi::kVids && summary.streamChannel[s] >= 0) {
      channel = summary.streamChannel[s];
    } else if (type == avi::kTxts) {
      channel = -1;
    } else {
      continue;
    }
    if (!decoders[s]) {
      const std::string source =
          channel < 0 ? "Multi Meta Data Extractor" : "Meta Data Extractor " + std::to_string(channel + 1);
      decoders[s] = std::make_unique<MetadataDecoder>(source, summary.dvrKind);
      decoders[s]->SetListener(0, &collector);
    }
    const long long frame = framesOfChannel[channel]++;
    const std::size_t k = chunksOfStream[s]++;
    if (!reader.ReadChunk(s, k, chunk)) {
      reason = "chunk " + std::to_string(k) + " of stream " + std::to_string(s) + " cannot be read";
      return ExportStatus::kBadInput;
    }
    collector.Clear();
    decoders[s]->ParseMetadataSample(chunk.data(), chunk.size());
    out << (channel < 0 ? std::string("meta") : std::to_string(channel + 1)) << ',' << frame;
    for (const std::string& label : labels) out << ',' << CsvField(collector.Text(label));
    if (correction != 0)
      out << ',' << CorrectedTimeText(collector.Text("Local Time"), correction).value_or("");
    out << "\r\n";
    if (!out) break;  // the rest would be lost as well
  }
  return ExportStatus::kDone;
}

}  // namespace evidence
