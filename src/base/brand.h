#pragma once

#include <filesystem>
#include <string>

// The brand word every title starts with, read from `brand.dat` in `dir`
// (the executable's folder): at most its first 255 bytes, taken verbatim (a
// trailing line break stays part of the brand) and cut at the first NUL byte.
// An empty file gives an empty brand; a file that cannot be read gives "QMX".
std::string LoadBrandText(const std::filesystem::path& dir);

inline constexpr const char* kDefaultBrand = "QMX";
inline constexpr std::size_t kBrandMaxBytes = 255;
