#include "base/titles.h"

std::string MainWindowTitle(const std::string& brand) {
  return brand + " Player";
}

std::string FileWindowTitle(const std::string& brand, const std::string& fileName) {
  return MainWindowTitle(brand) + " - " + fileName;
}

std::string StreamWindowTitle(const std::string& brand, const std::string& address) {
  return MainWindowTitle(brand) + " - Live " + address;
}

std::string GroupWindowTitle(const std::string& brand, const std::string& baseName,
                             const std::string& lastName) {
  return FileWindowTitle(brand, baseName) + " ... " + lastName;
}

std::string SequenceWindowTitle(const std::string& brand, const std::string& firstName,
                                const std::string& lastName) {
  // The sequence title is built on the whole title of its first file.
  return FileWindowTitle(brand, firstName) + " ... " + lastName;
}

std::string AboutBoxTitle(const std::string& brand) {
  return "About " + brand + " Player";
}
