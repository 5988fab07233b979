#include "live/unique_fd.h"

#include <unistd.h>

void UniqueFd::Reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}
