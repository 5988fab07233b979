#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "live/stream_protocol.h"
#include "live/unique_fd.h"

// The client side of a connection to a DVR unit over POSIX sockets, made so
// that a stop request ends every wait within about kStopCheck: connecting and
// receiving poll in short slices and look at the stop flag between them.
namespace tcp {

inline constexpr std::chrono::milliseconds kStopCheck{50};

// A connected stream socket to `address` (numeric IPv4 or IPv6), with the
// receive time-out and receive buffer size set; an invalid fd when the
// address is not numeric, the unit refuses, `connectTimeout` passes, or
// `stop` is raised meanwhile.
UniqueFd Connect(const DvrAddress& address, std::chrono::milliseconds connectTimeout,
                 std::chrono::milliseconds receiveTimeout, int receiveBufferBytes,
                 const std::atomic<bool>& stop);

// Sends all `length` bytes (MSG_NOSIGNAL); false on an error.
bool SendAll(int fd, const void* data, std::size_t length);

// Receives up to `capacity` bytes: the count (> 0); 0 when the peer closed;
// -1 on an error, when nothing came for `timeout`, or when `stop` was raised.
// `capacity` 0 (a full buffer, which makes no progress) returns -1 at once.
long Receive(int fd, uint8_t* buffer, std::size_t capacity, std::chrono::milliseconds timeout,
             const std::atomic<bool>& stop);

}  // namespace tcp
