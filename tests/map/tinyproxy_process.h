#pragma once

// A real HTTP proxy (Debian's tinyproxy) on 127.0.0.1 for one test: started
// in the foreground with a private configuration, stopped (by its process
// id) when the object goes away.

#include <sys/types.h>

#include <string>

class TinyproxyProcess {
 public:
  // Where the binary is, or "" when it is not installed.
  static std::string Binary();

  // Starts the proxy; with a user, it asks for basic authentication.
  explicit TinyproxyProcess(const std::string& user = "", const std::string& password = "");
  ~TinyproxyProcess();
  TinyproxyProcess(const TinyproxyProcess&) = delete;
  TinyproxyProcess& operator=(const TinyproxyProcess&) = delete;

  // True once the proxy accepts connections.
  bool Ready() const { return ready_; }
  int Port() const { return port_; }

 private:
  std::string folder_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool ready_ = false;
};
