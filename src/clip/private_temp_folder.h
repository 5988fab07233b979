#pragma once

// A folder only this process uses, created exclusively (mkdtemp, mode 0700)
// under the system's temporary folder and removed with everything in it when
// the object goes away, on every path out.

#include <filesystem>
#include <string>

namespace clip {

class PrivateTempFolder {
 public:
  explicit PrivateTempFolder(const std::string& prefix = "qmxclip");
  ~PrivateTempFolder();
  PrivateTempFolder(const PrivateTempFolder&) = delete;
  PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& error() const { return error_; }  // why it could not be created
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::string error_;
};

// Creates an empty file beside `target` under a name of its own
// (".NAME.XXXXXX"), readable by others as a finished file will be. Empty
// with the reason in `error` when the folder refuses it.
std::filesystem::path CreateSiblingTemporary(const std::filesystem::path& target, std::string& error);

}  // namespace clip
