#include "base/brand.h"

#include <cstring>
#include <fstream>

std::string LoadBrandText(const std::filesystem::path& dir) {
  const std::filesystem::path path = dir / "brand.dat";
  // A folder (or a pipe) of that name opens but cannot be read as a file.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return kDefaultBrand;
  std::ifstream file(path, std::ios::binary);
  if (!file) return kDefaultBrand;
  char buffer[kBrandMaxBytes] = {};
  file.read(buffer, kBrandMaxBytes);
  const std::size_t got = std::size_t(file.gcount());
  return std::string(buffer, ::strnlen(buffer, got));
}
