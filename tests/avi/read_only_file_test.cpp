#include "avi/read_only_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "avi/avi_reader.h"
#include "temp_dir.h"
#include "test_avi_builder.h"

namespace {

using namespace avi;
using namespace avitest;

int callCount = 0;
int failAfter = -1;  // calls before the injected I/O error; -1 never

// Every other call is interrupted, the rest deliver at most 7 bytes.
ssize_t StingyPread(int fd, void* buffer, std::size_t count, off_t offset) {
  ++callCount;
  if (failAfter >= 0 && callCount > failAfter) {
    errno = EIO;
    return -1;
  }
  if (callCount % 2 == 0) {
    errno = EINTR;
    return -1;
  }
  return ::pread(fd, buffer, std::min<std::size_t>(count, 7), offset);
}

class InjectedPread : public ::testing::Test {
 protected:
  void SetUp() override {
    callCount = 0;
    failAfter = -1;
    TestAviSpec spec;
    spec.index = TestIndex::kOpenDml;
    spec.streams = {TestStream{MakeStreamHeader(kVids, 30, 1, 6), VideoFormat(32, 32), "Camera 1"}};
    spec.chunks = DistinctChunks(0, 6, 90);
    chunks_ = spec.chunks;
    WriteFile(dir_ / "f.avi", BuildTestAvi(spec).bytes);
    SetPreadCallForTesting(&StingyPread);
  }
  void TearDown() override { SetPreadCallForTesting(nullptr); }

  TempDir dir_;
  std::vector<TestChunk> chunks_;
};

TEST_F(InjectedPread, ShortAndInterruptedReadsAreCompleted) {
  AviReader reader;
  ASSERT_TRUE(reader.Open((dir_ / "f.avi").string())) << reader.Error();
  EXPECT_EQ(reader.Index(), IndexSource::kOpenDml);
  EXPECT_EQ(reader.Stream(0).name, "Camera 1");
  ASSERT_EQ(reader.ChunkCount(0), 6u);
  std::vector<uint8_t> data;
  for (std::size_t k = 0; k < 6; ++k) {
    ASSERT_TRUE(reader.ReadChunk(0, k, data));
    EXPECT_EQ(data, chunks_[k].payload);
  }
  EXPECT_GT(callCount, 100);  // the seam was really in the path
}

TEST_F(InjectedPread, IoErrorsFailTheReadNotTheProcess) {
  AviReader reader;
  ASSERT_TRUE(reader.Open((dir_ / "f.avi").string())) << reader.Error();
  failAfter = callCount;  // from now on every read fails
  std::vector<uint8_t> data;
  EXPECT_FALSE(reader.ReadChunk(0, 0, data));
  uint8_t buffer[200];
  EXPECT_EQ(reader.ReadChunk(0, 1, buffer, sizeof buffer), -1);

  AviReader second;
  EXPECT_FALSE(second.Open((dir_ / "f.avi").string()));
  EXPECT_EQ(second.Error(), "cannot be read");
}

}  // namespace
