// Fuzz target: the recording properties reader in its read-only (--info)
// mode and the layout probes, over a file made of the input. Inputs shorter
// than the scanned window are also tried padded to a window and a tail with
// the input at both ends, so short inputs reach both scans.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/recording_layout.h"
#include "engine/recording_properties.h"
#include "fuzz_input_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// The read-only mode must never write, whatever the header says.
bool RefuseToWrite(const std::filesystem::path&, uint64_t, uint8_t) {
  std::abort();
}

std::size_t Touch(const std::string& text) {
  std::size_t sum = 0;
  for (const char c : text) sum += uint8_t(c);
  return sum + text.size();
}

void ReadFile(const std::vector<uint8_t>& bytes) {
  qmxfuzz::FuzzInputFile file(bytes.data(), bytes.size());
  if (!file.ok()) return;

  RecordingProperties props;
  const int result =
      ReadRecordingProperties(file.path(), props, HeaderCorrection::kReportOnly, &RefuseToWrite);
  Check(result == kPropertiesOk);
  std::size_t sum = Touch(props.dvrTitle) + Touch(props.dvrVersion) + Touch(props.dvrType) +
                    Touch(props.sizeText) + Touch(props.gpsText) + Touch(props.triggerList);
  for (const auto* texts : {&props.formatText, &props.audioText, &props.bitRateText}) {
    for (const std::string& t : *texts) sum += Touch(t);
  }
  for (const std::string& name : props.triggerNames) {
    // A name is read up to a 255-byte limit from a bounded window.
    Check(name.size() <= 255);
    sum += Touch(name);
  }
  Check(sum > 0 && props.byteTotal >= 0);

  const DvrLayout kind = DetectDvrKind(file.path());
  Check(DvrKindNumber(kind) >= 0 && DvrKindNumber(kind) <= 3);
  Check(kind == DetectDvrKindFromHeader(bytes.data(), bytes.size()));
  const bool h264 = DetectH264(file.path());
  Check(h264 == DetectH264InHeader(bytes.data(), std::min(bytes.size(), kH264ProbeBytes), bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  ReadFile(bytes);
  if (size < kPropertiesScanBytes) {
    std::vector<uint8_t> padded(kPropertiesScanBytes + kPropertiesTailBytes, 0);
    std::copy(bytes.begin(), bytes.end(), padded.begin());
    const std::size_t tail = std::min(size, kPropertiesTailBytes);
    std::copy(bytes.end() - std::ptrdiff_t(tail), bytes.end(), padded.end() - std::ptrdiff_t(tail));
    ReadFile(padded);
  }
  (void)ParseConfigNumber(data, size);

  // Pad names come from the file's stream names (strn), so they are input too.
  const std::string name(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 64));
  const int channel = PinChannel(name);
  Check(channel >= -1 && channel <= 3);
  if (channel >= 0) Check(PinMatchesChannel(name, channel));
  for (int type = kAnyStream; type <= kMetadataStream; ++type) (void)PinMatchesStreamType(name, type);
  return 0;
}
