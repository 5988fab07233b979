#include "http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <stdexcept>

namespace {

int LoopbackListener(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  const int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 64) != 0) {
    ::close(fd);
    throw std::runtime_error("bind/listen");
  }
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

bool WaitReadable(int fd, const std::atomic<bool>& stop) {
  while (!stop) {
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, 20);
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return false;
  }
  return false;
}

void SendAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += std::size_t(n);
  }
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

int FreeLoopbackPort() {
  int port = 0;
  ::close(LoopbackListener(port));
  return port;
}

HttpTestServer::HttpTestServer(Handler handler) : handler_(std::move(handler)) {
  listener_ = LoopbackListener(port_);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
  stop_ = true;
  acceptor_.join();
  for (std::thread& t : connections_) t.join();
  ::close(listener_);
}

std::vector<HttpRequest> HttpTestServer::Requests() const {
  std::lock_guard<std::mutex> l(lock_);
  return requests_;
}

int HttpTestServer::RequestCount() const {
  std::lock_guard<std::mutex> l(lock_);
  return int(requests_.size());
}

void HttpTestServer::AcceptLoop() {
  while (WaitReadable(listener_, stop_)) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    connections_.emplace_back([this, fd] { Serve(fd); });
  }
}

void HttpTestServer::Serve(int fd) {
  std::string data;
  char buffer[4096];
  std::size_t end = std::string::npos;
  while ((end = data.find("\r\n\r\n")) == std::string::npos) {
    if (!WaitReadable(fd, stop_)) break;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    data.append(buffer, std::size_t(n));
  }
  if (end == std::string::npos) {
    ::close(fd);
    return;
  }
  HttpRequest request;
  std::size_t lineEnd = data.find("\r\n");
  const std::string first = data.substr(0, lineEnd);
  const std::size_t s1 = first.find(' '), s2 = first.rfind(' ');
  request.method = first.substr(0, s1);
  request.target = first.substr(s1 + 1, s2 - s1 - 1);
  request.path = request.target;
  if (const std::size_t scheme = request.path.find("://"); scheme != std::string::npos) {
    const std::size_t slash = request.path.find('/', scheme + 3);
    request.path = slash == std::string::npos ? "/" : request.path.substr(slash);
  }
  while (lineEnd < end) {
    const std::size_t next = data.find("\r\n", lineEnd + 2);
    const std::string line = data.substr(lineEnd + 2, next - lineEnd - 2);
    if (const std::size_t colon = line.find(':'); colon != std::string::npos) {
      std::size_t v = colon + 1;
      while (v < line.size() && line[v] == ' ') ++v;
      request.headers[Lower(line.substr(0, colon))] = line.substr(v);
    }
    lineEnd = next;
  }
  {
    std::lock_guard<std::mutex> l(lock_);
    requests_.push_back(request);
  }
  const HttpAnswer answer = handler_(request);
  if (answer.hang) {
    while (WaitReadable(fd, stop_)) {
      if (::recv(fd, buffer, sizeof buffer, 0) <= 0) break;
    }
    ::close(fd);
    return;
  }
  std::string head =
      "HTTP/1.1 " + std::to_string(answer.status) + " Answer\r\nContent-Type: " + answer.contentType +
      "\r\nContent-Length: " + std::to_string(answer.body.size()) + "\r\nConnection: close\r\n\r\n";
  SendAll(fd, head + answer.body);
  ::shutdown(fd, SHUT_WR);
  // Let the client read to the end before the socket goes.
  while (WaitReadable(fd, stop_)) {
    if (::recv(fd, buffer, sizeof buffer, 0) <= 0) break;
  }
  ::close(fd);
}
