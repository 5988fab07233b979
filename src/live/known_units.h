#pragma once

#include <string>
#include <vector>

// The DVR units the source selection dialog remembers, as stored in the
// settings: `KnownDevices` holds "name;address;" pairs back to back,
// `LastDevice` one such pair. In the dialog's list a unit is the line
// "name address"; a line splits at its last blank, so names may hold blanks.

struct KnownUnit {
  std::string name;
  std::string address;
  bool operator==(const KnownUnit&) const = default;
};

// Every complete pair of `KnownDevices`; an unfinished last pair is dropped.
std::vector<KnownUnit> ParseKnownDevices(const std::string& value);
// `KnownDevices` from the list's lines in list order; lines without a blank
// are left out.
std::string FormatKnownDevices(const std::vector<std::string>& lines);
// `LastDevice`: the name before the first ";" and the address up to a
// second ";" (empty without one); both empty without any ";".
KnownUnit ParseLastDevice(const std::string& value);
std::string FormatLastDevice(const KnownUnit& unit);

std::string UnitLine(const KnownUnit& unit);
// False for a line without a blank.
bool SplitUnitLine(const std::string& line, KnownUnit& unit);
