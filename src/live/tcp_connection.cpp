#include "live/tcp_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tcp {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return int(std::clamp<long long>(left, 0, kStopCheck.count()));
}

// Waits for `events` on `fd` until `deadline` or `stop`: >0 ready, 0 time-out
// or stop, <0 error.
int WaitFor(int fd, short events, Clock::time_point deadline, const std::atomic<bool>& stop) {
  while (!stop.load()) {
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, MillisecondsLeft(deadline));
    if (r > 0) return r;
    if (r < 0 && errno != EINTR) return -1;
    if (Clock::now() >= deadline) return 0;
  }
  return 0;
}

}  // namespace

UniqueFd Connect(const DvrAddress& address, std::chrono::milliseconds connectTimeout,
                 std::chrono::milliseconds receiveTimeout, int receiveBufferBytes,
                 const std::atomic<bool>& stop) {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int family = AF_INET;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
  if (::inet_pton(AF_INET, address.host.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(address.port);
    length = sizeof(sockaddr_in);
  } else if (::inet_pton(AF_INET6, address.host.c_str(), &v6->sin6_addr) == 1) {
    family = AF_INET6;
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(address.port);
    length = sizeof(sockaddr_in6);
  } else {
    return {};
  }
  UniqueFd fd(::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.Valid()) return {};
  // Set before connecting so the window the unit sees is the large one.
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
  if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&storage), length) != 0) {
    if (errno != EINPROGRESS) return {};
    if (WaitFor(fd.Get(), POLLOUT, Clock::now() + connectTimeout, stop) <= 0) return {};
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return {};
  }
  const int flags = ::fcntl(fd.Get(), F_GETFL);
  ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  timeval tv{};
  tv.tv_sec = receiveTimeout.count() / 1000;
  tv.tv_usec = (receiveTimeout.count() % 1000) * 1000;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  return fd;
}

bool SendAll(int fd, const void* data, std::size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length > 0) {
    const ssize_t n = ::send(fd, p, length, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    length -= std::size_t(n);
  }
  return true;
}

long Receive(int fd, uint8_t* buffer, std::size_t capacity, std::chrono::milliseconds timeout,
             const std::atomic<bool>& stop) {
  if (capacity == 0 || WaitFor(fd, POLLIN, Clock::now() + timeout, stop) <= 0) return -1;
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, capacity, 0);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? -1 : long(n);
  }
}

}  // namespace tcp
