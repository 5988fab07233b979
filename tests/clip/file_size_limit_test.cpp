// A file-size limit (ulimit -f) on the player's writes: the extractor run as
// users run it, and the window's two-channel conversion in a child process
// set up as the player sets itself up. The write fails with EFBIG, is
// reported like a full disk, and nothing temporary is left beside the
// output or the recording.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <functional>

#include "clip/two_channel_conversion.h"
#include "clip_fixtures.h"
#include "recording_writer.h"
#include "run_command.h"
#include "temp_dir.h"

namespace {

constexpr rlim_t kLimitBytes = 100 * 1024;

struct Limited {
  bool signalled = false;  // ended by a signal (SIGXFSZ) instead of failing
  int status = -1;
  std::string said;  // the one line it reported
};

// `qmxplayer ARGS` with the limit (dash counts 512-byte blocks), the signal
// left as the shell has it.
Limited RunPlayerLimited(const std::string& args, const TempDir& dir) {
  const std::string err = (dir / "stderr.txt").string();
  Limited run;
  RunCommand("ulimit -f " + std::to_string(kLimitBytes / 512) +
                 "; TMPDIR=" + ShellQuote(dir.path().string()) + " timeout 60 " + std::string(QMX_APP_DIR) +
                 "/qmxplayer " + args + " 2>" + ShellQuote(err),
             &run.status);
  run.signalled = run.status > 128;
  // The progress line ends in a carriage return; the reason is what is left.
  run.said = RunCommand("tr '\\r' '\\n' <" + ShellQuote(err) + " | grep -v -e extracting -e '^$'");
  std::filesystem::remove(err);
  return run;
}

// `job` in a child process with the limit, ignoring SIGXFSZ as main() does;
// it returns the text to hand back.
Limited RunInChildLimited(const std::function<std::string()>& job) {
  int pipes[2];
  if (::pipe(pipes) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipes[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kLimitBytes, kLimitBytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::string said = job() + "\n";
    const bool sent = ::write(pipes[1], said.data(), said.size()) == ssize_t(said.size());
    ::_exit(sent ? 0 : 1);
  }
  ::close(pipes[1]);
  Limited run;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipes[0], buffer, sizeof buffer)) > 0;) run.said.append(buffer, std::size_t(n));
  ::close(pipes[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  run.signalled = WIFSIGNALED(status);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(FileSizeLimit, WritesFailWithTheReasonAndLeaveNothing) {
  TempDir dir, out;
  recgen::RecordingOptions o = cliptest::SmallOptions(4, 10);
  const std::vector<std::string> run = cliptest::WriteRun(dir.path(), "Trip", 1, o);
  o.kind = 2;
  o.header380 = true;
  const std::string two = (dir / "two.avi").string();
  std::string error;
  ASSERT_TRUE(recgen::WriteRecording(two, o, error)) << error;
  const std::vector<std::string> sources = cliptest::Listing(dir.path());
  const std::string md5[] = {cliptest::FileMd5(run[0]), cliptest::FileMd5(two)};

  const struct {
    const char* name;
    std::function<Limited()> write;
    int status;
    std::string reason;
  } rows[] = {
      {"--extract",
       [&] {
         return RunPlayerLimited("--extract " + ShellQuote(run[0]) +
                                     " --from 0 --to 400 --cameras 1,2,3,4 --out " +
                                     ShellQuote((out / "clip.avi").string()),
                                 out);
       },
       1, "File too large"},
      {"the two-channel conversion",
       [&] {
         return RunInChildLimited([&] {
           std::atomic<bool> cancel{false};
           const clip::ConvertOutcome outcome = clip::ConvertFile(two, cancel);
           return outcome.message + " / " + outcome.detail;
         });
       },
       0, "File too large"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Limited limited = row.write();
    EXPECT_FALSE(limited.signalled) << "status " << limited.status;
    EXPECT_EQ(limited.status, row.status);
    EXPECT_NE(limited.said.find(row.reason), std::string::npos) << limited.said;
    EXPECT_EQ(std::count(limited.said.begin(), limited.said.end(), '\n'), 1) << limited.said;
    EXPECT_EQ(cliptest::Listing(out.path()), std::vector<std::string>{});
    EXPECT_EQ(cliptest::Listing(dir.path()), sources);
    EXPECT_EQ(cliptest::FileMd5(run[0]), md5[0]);
    EXPECT_EQ(cliptest::FileMd5(two), md5[1]);
  }
}

}  // namespace
