#include "export/redaction_store.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "evidence/sha256.h"

namespace redaction {
namespace {

namespace fs = std::filesystem;

// Enough of a file to tell recordings of equal names and sizes apart.
constexpr std::size_t kKeyBytes = 64 * 1024;
// A list file larger than this is not one of ours.
constexpr std::uintmax_t kMaxListBytes = 64u << 20;

}  // namespace

std::string RedactionStoreFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data) return (fs::path(data) / "qmxplayer" / "redactions").string();
  const char* home = std::getenv("HOME");
  if (home && *home) return (fs::path(home) / ".local" / "share" / "qmxplayer" / "redactions").string();
  return {};
}

std::string RedactionListPath(const std::vector<std::string>& files) {
  const std::string folder = RedactionStoreFolder();
  if (folder.empty() || files.empty()) return {};
  evidence::Sha256 key;
  for (const std::string& path : files) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) return {};
    std::string head(std::size_t(std::min<std::uintmax_t>(size, kKeyBytes)), '\0');
    if (!in.read(head.data(), std::streamsize(head.size()))) return {};
    const std::string line = fs::path(path).filename().string() + "\n" + std::to_string(size) + "\n" +
                             evidence::Sha256Hex(head.data(), head.size()) + "\n";
    key.Update(line.data(), line.size());
  }
  return (fs::path(folder) / (key.HexDigest() + ".json")).string();
}

bool LoadRedactionList(const std::string& path, RedactionList& list, std::string& error) {
  list = {};
  std::error_code ec;
  if (path.empty() || !fs::exists(path, ec)) return true;
  if (fs::file_size(path, ec) > kMaxListBytes || ec) {
    error = "is too large for a redaction list";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::strerror(errno);
    return false;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return FromJson(text, list, error);
}

bool SaveRedactionList(const std::string& path, const RedactionList& list, std::string& error) {
  if (path.empty()) {
    error = "no data folder (neither XDG_DATA_HOME nor HOME is set)";
    return false;
  }
  std::error_code ec;
  if (list.items.empty()) {
    fs::remove(path, ec);
    if (ec) error = ec.message();
    return !ec;
  }
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (ec) {
    error = ec.message();
    return false;
  }
  const std::string temp = path + "." + std::to_string(::getpid()) + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << ToJson(list);
    if (!out.flush()) {
      error = std::strerror(errno);
      out.close();
      fs::remove(temp, ec);
      return false;
    }
  }
  fs::rename(temp, path, ec);
  if (ec) {
    error = ec.message();
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace redaction
