#include "report/player_report_inputs.h"

#include "base/settings.h"
#include "base/version.h"
#include "engine/trip_events.h"

namespace report {

IncidentRequest NewReportRequest(const std::string& recording) {
  IncidentRequest request;
  request.recording = recording;
  request.tool = std::string("qmxplayer ") + PlayerVersion();
  request.harshTenths = HarshTenthsFromText(ReadSetting(kHarshMotionSetting));
  return request;
}

MapAccess StoredMapAccess() {
  return {ReadMapSource(ReadSetting), ReadProxyConfig(ReadSetting)};
}

}  // namespace report
