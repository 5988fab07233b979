#include "tinyproxy_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "http_test_server.h"

extern char** environ;

namespace {

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

std::string TinyproxyProcess::Binary() {
  for (const char* candidate : {"/usr/bin/tinyproxy", "/usr/sbin/tinyproxy", "/usr/local/bin/tinyproxy"})
    if (::access(candidate, X_OK) == 0) return candidate;
  return "";
}

TinyproxyProcess::TinyproxyProcess(const std::string& user, const std::string& password) {
  const std::string binary = Binary();
  if (binary.empty()) return;
  char pattern[] = "/tmp/qmx-tinyproxy-XXXXXX";
  if (!::mkdtemp(pattern)) return;
  folder_ = pattern;
  port_ = FreeLoopbackPort();
  const std::string config = folder_ + "/tinyproxy.conf";
  {
    std::ofstream out(config);
    out << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\nAllow 127.0.0.1\n"
        << "LogLevel Critical\nLogFile \"" << folder_ << "/tinyproxy.log\"\n";
    if (::getuid() == 0) out << "User nobody\nGroup nogroup\n";
    if (!user.empty()) out << "BasicAuth " << user << " " << password << "\n";
  }
  std::filesystem::permissions(folder_, std::filesystem::perms::all);
  const char* argv[] = {binary.c_str(), "-d", "-c", config.c_str(), nullptr};
  if (::posix_spawn(&pid_, binary.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    pid_ = -1;
    return;
  }
  for (int i = 0; i < 250 && !ready_; ++i) {
    ready_ = Accepts(port_);
    if (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TinyproxyProcess::~TinyproxyProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (!folder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
}
