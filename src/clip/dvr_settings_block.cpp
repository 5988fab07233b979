#include "clip/dvr_settings_block.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace clip {
namespace {

constexpr int kTriggerLines = 11;
constexpr std::size_t kDotRow = 65;

void AddLine(std::vector<uint8_t>& block, const std::string& line) {
  block.insert(block.end(), line.begin(), line.end());
  block.push_back(0);
}

}  // namespace

std::vector<uint8_t> DvrSettingsBlock(const std::vector<std::string>& triggerNames,
                                      const std::string& title) {
  std::vector<uint8_t> block;
  for (int i = 0; i < kTriggerLines; ++i) {
    const std::string name = std::size_t(i) < triggerNames.size() ? triggerNames[std::size_t(i)] : "";
    AddLine(block, "set trigger.name" + std::to_string(i + 1) + " " + name);
  }
  AddLine(block, "set system.title-1 " + title);
  block.insert(block.end(), kDotRow, uint8_t('.'));
  return block;
}

bool AppendDvrSettings(const std::filesystem::path& output, const std::vector<std::string>& triggerNames,
                       const std::string& title, std::string& error) {
  const int fd = ::open(output.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  const std::vector<uint8_t> block = DvrSettingsBlock(triggerNames, title);
  std::size_t done = 0;
  while (done < block.size()) {
    const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = std::strerror(n < 0 ? errno : ENOSPC);
      ::close(fd);
      return false;
    }
    done += std::size_t(n);
  }
  if (::close(fd) != 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace clip
