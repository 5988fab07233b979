#include "ui/core/status_text.h"

#include <algorithm>
#include <cstdio>

std::string FormatClockText(int64_t centis) {
  const int64_t c = std::max<int64_t>(0, centis) / 100;
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(c / 3600),
                static_cast<long long>(c / 60 % 60), static_cast<long long>(c % 60));
  return text;
}

std::string FormatTimeText(int64_t currentCentis, int64_t totalCentis) {
  return FormatClockText(currentCentis) + "/" + FormatClockText(totalCentis);
}

int64_t CurrentCentis(double perMille, int64_t totalCentis) {
  return static_cast<int64_t>(perMille * static_cast<double>(totalCentis) / 1000.0);
}

int ScanStepCentis(int scanSpeed) {
  switch (scanSpeed) {
    case 1:
      return 500;
    case 2:
      return 1000;
    case 3:
      return 2000;
    case -1:
      return -500;
    case -2:
      return -1000;
    case -3:
      return -2000;
    default:
      return 0;
  }
}

const char* ScanSuffix(int scanSpeed) {
  switch (scanSpeed) {
    case 1:
      return " >";
    case 2:
      return " >>";
    case 3:
      return " >>>";
    case -1:
      return " <";
    case -2:
      return " <<";
    case -3:
      return " <<<";
    default:
      return "";
  }
}

int NormalizedScanSpeed(int scanSpeed) {
  return scanSpeed > 3 || scanSpeed < -3 ? 0 : scanSpeed;
}

bool ScanTickDue(int& tickCounter) {
  if (tickCounter >= 2) {
    tickCounter = 0;
    return true;
  }
  ++tickCounter;
  return false;
}

std::string ResolutionText(bool quad, int viewChannel, int width, int height, int scanSpeed) {
  std::string text;
  // A size the recording does not know (-1) is left out rather than shown.
  if (!quad && viewChannel >= 1 && viewChannel <= 4 && width > 0 && height > 0)
    text = std::to_string(width) + "x" + std::to_string(height);
  return text + ScanSuffix(scanSpeed);
}

std::string RecordingStatusLine(const std::string& statusText, const std::string& displayName,
                                const std::string& resolution, bool interfaceHidden) {
  if (interfaceHidden) return displayName;
  return statusText + " - " + displayName + " - " + resolution;
}

std::string LiveStatusLine(int connectionState) {
  if (connectionState == 0) return "Connecting to Stream...";
  if (connectionState == -1) return "Connection Failed";
  return "Connected to Stream";
}

std::optional<int> OnSliderEvent(SliderDrag& drag, SliderEvent event, int thumb, double position) {
  switch (event) {
    case SliderEvent::kPageLeft:
      drag.held = true;
      drag.target = position - 20 < 0 ? 0 : static_cast<int>(position - 20);
      return drag.target;
    case SliderEvent::kPageRight:
      drag.held = true;
      drag.target = static_cast<int>(position + 20);
      if (drag.target >= 1000) drag.target = 999;
      return drag.target;
    case SliderEvent::kThumbTrack:
      drag.held = true;
      drag.target = thumb;
      return std::nullopt;  // no seek while dragging
    case SliderEvent::kEndScroll:
      drag.held = false;
      return drag.target;
    default:
      return std::nullopt;
  }
}

int SkipScanSpeed(int scanSpeed, int direction, bool playing) {
  return playing ? scanSpeed + (direction > 0 ? 1 : -1) : scanSpeed;
}
