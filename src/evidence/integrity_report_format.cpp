#include "evidence/integrity_report_format.h"

#include <cmath>
#include <cstdio>

#include "evidence/text_escape.h"

namespace evidence {
namespace {

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Plural(int64_t count, const std::string& word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string Where(const Finding& f) {
  if (f.kind == FindingKind::kFileGap)
    return "files " + std::to_string(f.file + 1) + "-" + std::to_string(f.file + 2);
  std::string where = f.camera > 0 ? "camera " + std::to_string(f.camera) + ", " : std::string();
  where += "file " + std::to_string(f.file + 1);
  if (f.frame >= 0) where += ", frame " + std::to_string(f.frame);
  if (f.at >= 0) where += ", at " + Fixed(f.at, 3) + " s";
  return where;
}

std::string Details(const Finding& f) {
  switch (f.kind) {
    case FindingKind::kDroppedFrame:
    case FindingKind::kTimeGap:
      return Fixed(f.seconds, 3) + " s since the frame before, about " + Plural(f.count, "frame") +
             " missing";
    case FindingKind::kTimeBackwards:
      return "by " + Fixed(f.seconds, 3) + " s";
    case FindingKind::kDuplicateFrame:
      return "the same bytes as the frame before";
    case FindingKind::kDamagedFrame:
      return f.detail;
    case FindingKind::kMissingAudio:
      return Plural(f.count, "chunk") + " (" + Fixed(f.seconds, 3) + " s of sound) missing";
    case FindingKind::kCutShort:
    case FindingKind::kEmptyFile:
      return f.detail;
    case FindingKind::kFileGap:
      return Fixed(f.seconds, 3) + " s from the last frame to the next file's first";
  }
  return "";
}

}  // namespace

std::string FormatReportText(const IntegrityReport& report) {
  std::string out;
  for (std::size_t i = 0; i < report.files.size(); ++i) {
    out += "File " + std::to_string(i + 1) + ": " + report.files[i].path + " (" +
           std::to_string(report.files[i].bytes) + " bytes)\n";
  }
  for (const CameraSummary& c : report.cameras) {
    out += "Camera " + std::to_string(c.camera) + ": " + Plural(c.frames, "frame") + ", declared " +
           Fixed(c.declaredFps, 3) + " fps, measured " +
           (c.measuredFps > 0 ? Fixed(c.measuredFps, 3) + " fps" : std::string("unknown (no frame times)")) +
           ", " + (c.audioChunks < 0 ? std::string("no audio") : Plural(c.audioChunks, "audio chunk")) + "\n";
  }
  for (std::size_t i = 0; i < report.boundaryGaps.size(); ++i) {
    const double gap = report.boundaryGaps[i];
    out +=
        "Files " + std::to_string(i + 1) + "-" + std::to_string(i + 2) + ": " +
        (std::isfinite(gap) ? Fixed(gap, 3) + " s between the last frame and the next" : "no frame times") +
        "\n";
  }
  for (const Finding& f : report.findings) {
    out += std::string(FindingName(f.kind)) + ": " + Where(f) + ": " + Details(f) + "\n";
  }
  if (!report.error.empty()) out += "Unreadable: " + report.error + "\n";
  out += report.Clean() ? "Result: clean\n"
                        : "Result: " + Plural(int64_t(report.findings.size()), "finding") +
                              (report.error.empty() ? "" : ", unreadable") + "\n";
  return out;
}

std::string FormatReportJson(const IntegrityReport& report) {
  std::string out = "{\n  \"files\": [";
  for (std::size_t i = 0; i < report.files.size(); ++i) {
    out += std::string(i ? "," : "") + "\n    {\"path\": " + JsonString(report.files[i].path) +
           ", \"bytes\": " + std::to_string(report.files[i].bytes) + "}";
  }
  out += "\n  ],\n  \"cameras\": [";
  for (std::size_t i = 0; i < report.cameras.size(); ++i) {
    const CameraSummary& c = report.cameras[i];
    out += std::string(i ? "," : "") + "\n    {\"camera\": " + std::to_string(c.camera) +
           ", \"frames\": " + std::to_string(c.frames) +
           ", \"declared_fps\": " + JsonNumber(c.declaredFps, 3) +
           ", \"measured_fps\": " + (c.measuredFps > 0 ? JsonNumber(c.measuredFps, 3) : "null") +
           ", \"audio_chunks\": " + (c.audioChunks < 0 ? "null" : std::to_string(c.audioChunks)) + "}";
  }
  out += "\n  ],\n  \"boundaries\": [";
  for (std::size_t i = 0; i < report.boundaryGaps.size(); ++i) {
    out += std::string(i ? "," : "") + "\n    {\"from_file\": " + std::to_string(i + 1) +
           ", \"to_file\": " + std::to_string(i + 2) +
           ", \"gap_seconds\": " + JsonNumber(report.boundaryGaps[i], 3) + "}";
  }
  out += "\n  ],\n  \"findings\": [";
  for (std::size_t i = 0; i < report.findings.size(); ++i) {
    const Finding& f = report.findings[i];
    out += std::string(i ? "," : "") + "\n    {\"kind\": " + JsonString(FindingName(f.kind)) +
           ", \"camera\": " + (f.camera > 0 ? std::to_string(f.camera) : "null") +
           ", \"file\": " + std::to_string(f.file + 1) +
           ", \"frame\": " + (f.frame >= 0 ? std::to_string(f.frame) : "null") +
           ", \"seconds\": " + JsonNumber(f.seconds, 3) + ", \"count\": " + std::to_string(f.count) +
           ", \"at_seconds\": " + (f.at >= 0 ? JsonNumber(f.at, 3) : "null") +
           ", \"declared_frames\": " + (f.declared >= 0 ? std::to_string(f.declared) : "null") +
           ", \"found_frames\": " + (f.found >= 0 ? std::to_string(f.found) : "null") +
           ", \"detail\": " + JsonString(f.detail) + "}";
  }
  out += "\n  ],\n  \"error\": " + (report.error.empty() ? std::string("null") : JsonString(report.error)) +
         ",\n  \"clean\": " + (report.Clean() ? "true" : "false") + "\n}\n";
  return out;
}

}  // namespace evidence
