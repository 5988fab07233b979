#pragma once

// MD5 as lower-case hex, to compare chunks with ffmpeg's framemd5 output.

#include <cstddef>
#include <cstdint>
#include <string>

namespace avitest {

std::string Md5Hex(const uint8_t* data, std::size_t size);

}  // namespace avitest
