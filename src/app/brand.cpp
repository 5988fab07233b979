#include "app/brand.h"

#include <cstring>
#include <fstream>

std::string LoadBrandText(const std::filesystem::path& dir) {
  std::ifstream file(dir / "brand.dat", std::ios::binary);
  if (!file) return kDefaultBrand;
  char buffer[kBrandMaxBytes] = {};
  file.read(buffer, kBrandMaxBytes);
  const std::size_t got = std::size_t(file.gcount());
  return std::string(buffer, ::strnlen(buffer, got));
}
