// The window's two-channel conversion past a file-size limit (ulimit -f), in
// a child process set up as the player sets itself up (SIGXFSZ ignored):
// the write fails with EFBIG, the reason reaches the message, and the
// recording stays as it was with nothing temporary beside it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

#include "clip/two_channel_conversion.h"
#include "clip_fixtures.h"
#include "recording_writer.h"
#include "temp_dir.h"

namespace {

TEST(FileSizeLimit, ConversionFailsWithTheReasonAndLeavesTheRecording) {
  TempDir dir;
  recgen::RecordingOptions o = cliptest::SmallOptions(4, 10);
  o.kind = 2;
  o.header380 = true;
  const std::string two = (dir / "two.avi").string();
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(two, o, error)) << error;
  const std::string before = cliptest::FileMd5(two);

  int pipes[2];
  ASSERT_EQ(::pipe(pipes), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipes[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100 * 1024, 100 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::atomic<bool> cancel{false};
    const clip::ConvertOutcome outcome = clip::ConvertFile(two, cancel);
    const std::string said = outcome.message + "\n" + outcome.detail;
    const bool sent = ::write(pipes[1], said.data(), said.size()) == ssize_t(said.size());
    ::_exit(sent && outcome.status == clip::ConvertStatus::kWriteError ? 0 : 1);
  }
  ::close(pipes[1]);
  std::string said;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipes[0], buffer, sizeof buffer)) > 0;) said.append(buffer, std::size_t(n));
  ::close(pipes[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << said;
  EXPECT_NE(said.find("File too large"), std::string::npos) << said;
  EXPECT_EQ(cliptest::Listing(dir.path()), std::vector<std::string>{"two.avi"});
  EXPECT_EQ(cliptest::FileMd5(two), before);
}

}  // namespace
