#include "live/known_units.h"

std::vector<KnownUnit> ParseKnownDevices(const std::string& value) {
  std::vector<KnownUnit> units;
  std::string rest = value;
  for (;;) {
    const auto nameEnd = rest.find(';');
    if (nameEnd == std::string::npos) break;
    KnownUnit unit{rest.substr(0, nameEnd), {}};
    rest.erase(0, nameEnd + 1);
    const auto addressEnd = rest.find(';');
    if (addressEnd == std::string::npos) break;
    unit.address = rest.substr(0, addressEnd);
    rest.erase(0, addressEnd + 1);
    units.push_back(std::move(unit));
  }
  return units;
}

std::string FormatKnownDevices(const std::vector<std::string>& lines) {
  std::string value;
  KnownUnit unit;
  for (const std::string& line : lines)
    if (SplitUnitLine(line, unit)) value += unit.name + ";" + unit.address + ";";
  return value;
}

KnownUnit ParseLastDevice(const std::string& value) {
  KnownUnit unit;
  const auto first = value.find(';');
  if (first == std::string::npos) return unit;
  unit.name = value.substr(0, first);
  const auto second = value.find(';', first + 1);
  if (second != std::string::npos) unit.address = value.substr(first + 1, second - first - 1);
  return unit;
}

std::string FormatLastDevice(const KnownUnit& unit) {
  return unit.name + ";" + unit.address + ";";
}

std::string UnitLine(const KnownUnit& unit) {
  return unit.name + " " + unit.address;
}

bool SplitUnitLine(const std::string& line, KnownUnit& unit) {
  const auto blank = line.rfind(' ');
  if (blank == std::string::npos) return false;
  unit.name = line.substr(0, blank);
  unit.address = line.substr(blank + 1);
  return true;
}
