// Replays a fuzz target's seeds without libFuzzer, so every build and every
// CTest run exercises the targets:
//
//   <target>_replay [--mutations N] SEED_FILE_OR_FOLDER...
//
// Each seed runs as it is, then as deterministic variants: cut at and just
// after every header-like boundary (chunk ids, configuration words, JPEG
// markers), the length fields there set to huge values, and N random stacks
// of bit flips, byte runs, cuts, inserts, deletes and copies. The random
// number generator starts from a fixed value per seed name, so a failure
// reproduces on every machine and adding a seed leaves the others' variants
// alone. QMX_FUZZ_MUTATIONS overrides N for a longer local run.
//
// When a run dies (a failed check, a crash or a sanitizer report) the input
// of that run is written to crash-<seed name>-<variant>.bin in the current
// folder, ready to go under seeds/ once the fault is fixed.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);
// Present in sanitizer builds only.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace {

namespace fs = std::filesystem;

// Boundaries beyond this many per seed are sampled evenly: the variants at
// each one cost a run apiece, and a replay must stay within seconds.
constexpr std::size_t kMaxBoundaries = 200;
constexpr std::size_t kDefaultMutations = 500;

// The input of the run in progress and what to call it, for the crash dump.
// Plain data set before each run, read only by the dying process.
const uint8_t* gCurrentData = nullptr;
std::size_t gCurrentSize = 0;
char gCrashName[512] = "";

void DumpCurrentInput() {
  static volatile sig_atomic_t dumped = 0;
  if (dumped || gCrashName[0] == '\0') return;
  dumped = 1;
  const int fd = ::open(gCrashName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::size_t done = 0;
  while (done < gCurrentSize) {
    const ssize_t n = ::write(fd, gCurrentData + done, gCurrentSize - done);
    if (n <= 0) break;
    done += std::size_t(n);
  }
  ::close(fd);
  static const char kNote[] = "replay: the failing input is in ";
  (void)!::write(STDERR_FILENO, kNote, sizeof kNote - 1);
  (void)!::write(STDERR_FILENO, gCrashName, std::strlen(gCrashName));
  (void)!::write(STDERR_FILENO, "\n", 1);
}

void OnFatalSignal(int signal) {
  DumpCurrentInput();
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// SplitMix64: tiny, and its sequence is the same on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. bound - 1; 0 when bound is 0.
  std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : std::size_t(Next() % bound); }

 private:
  uint64_t state_;
};

uint64_t NameHash(const std::string& name) {
  uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
  for (const char c : name) h = (h ^ uint8_t(c)) * 0x100000001B3ull;
  return h;
}

bool IsIdChar(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ';
}

// Offsets where a header or field probably starts: four id characters after
// a non-id byte (RIFF chunk ids, "set " lines, "META"), and JPEG markers.
std::vector<std::size_t> Boundaries(const std::vector<uint8_t>& in) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i + 4 <= in.size(); ++i) {
    const bool wordStart = (i == 0 || !IsIdChar(in[i - 1])) && IsIdChar(in[i]) && IsIdChar(in[i + 1]) &&
                           IsIdChar(in[i + 2]) && IsIdChar(in[i + 3]) && in[i] != ' ';
    const bool marker = in[i] == 0xFF && in[i + 1] != 0x00 && in[i + 1] != 0xFF;
    if (wordStart || marker) found.push_back(i);
  }
  if (found.size() <= kMaxBoundaries) return found;
  std::vector<std::size_t> sampled;
  for (std::size_t k = 0; k < kMaxBoundaries; ++k)
    sampled.push_back(found[k * found.size() / kMaxBoundaries]);
  return sampled;
}

void PutLE32(std::vector<uint8_t>& v, std::size_t at, uint32_t value) {
  for (std::size_t i = 0; i < 4 && at + i < v.size(); ++i) v[at + i] = uint8_t(value >> (8 * i));
}

void PutBE16(std::vector<uint8_t>& v, std::size_t at, uint16_t value) {
  if (at < v.size()) v[at] = uint8_t(value >> 8);
  if (at + 1 < v.size()) v[at + 1] = uint8_t(value);
}

constexpr uint32_t kHugeLE32[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF8u, 0x00FFFFFFu};
constexpr uint16_t kHugeBE16[] = {0xFFFF, 0x8000, 0x0000, 0x0001};

// One random change to `v`.
void MutateOnce(std::vector<uint8_t>& v, const std::vector<std::size_t>& boundaries, Random& rng) {
  const std::size_t pos = v.empty() ? 0 : rng.Below(v.size());
  switch (rng.Below(8)) {
    case 0:  // bit flip
      if (!v.empty()) v[pos] ^= uint8_t(1u << rng.Below(8));
      break;
    case 1: {  // byte run
      const std::size_t n = std::min(v.size() - pos, 1 + rng.Below(32));
      const int kind = int(rng.Below(3));
      for (std::size_t i = 0; i < n; ++i) {
        v[pos + i] = kind == 0 ? 0x00 : kind == 1 ? 0xFF : uint8_t(rng.Next());
      }
      break;
    }
    case 2:  // cut
      v.resize(pos);
      break;
    case 3: {  // a length field at a boundary, or anywhere, made huge
      const std::size_t at = boundaries.empty() || rng.Below(4) == 0
                                 ? pos
                                 : boundaries[rng.Below(boundaries.size())] + 2 + rng.Below(8);
      if (rng.Below(2) == 0) {
        PutLE32(v, at, kHugeLE32[rng.Below(std::size(kHugeLE32))]);
      } else {
        PutBE16(v, at, kHugeBE16[rng.Below(std::size(kHugeBE16))]);
      }
      break;
    }
    case 4: {  // insert bytes
      std::vector<uint8_t> run(1 + rng.Below(16), uint8_t(rng.Next()));
      v.insert(v.begin() + std::ptrdiff_t(pos), run.begin(), run.end());
      break;
    }
    case 5: {  // delete bytes
      const std::size_t n = std::min(v.size() - pos, 1 + rng.Below(64));
      v.erase(v.begin() + std::ptrdiff_t(pos), v.begin() + std::ptrdiff_t(pos + n));
      break;
    }
    case 6: {  // copy a range over another place (repeated chunk headers, duplicate markers)
      if (v.empty()) break;
      const std::size_t from = rng.Below(v.size());
      const std::size_t n = std::min({v.size() - from, v.size() - pos, 1 + rng.Below(64)});
      std::memmove(v.data() + pos, v.data() + from, n);
      break;
    }
    default:  // small arithmetic on one byte (counts, sizes, versions)
      if (!v.empty()) v[pos] = uint8_t(v[pos] + (rng.Below(2) ? 1 : -1) * int(1 + rng.Below(8)));
      break;
  }
}

class Replayer {
 public:
  explicit Replayer(std::size_t mutations) : mutations_(mutations) {}

  void Seed(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> seed((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::string name = path.filename().string();
    ++seeds_;
    Run(name, "as-is", seed);

    const std::vector<std::size_t> boundaries = Boundaries(seed);
    std::vector<uint8_t> v;
    for (std::size_t cut = 0; cut <= std::min<std::size_t>(seed.size(), 64); ++cut) {
      Run(name, "cut", std::vector<uint8_t>(seed.begin(), seed.begin() + std::ptrdiff_t(cut)));
    }
    for (const std::size_t b : boundaries) {
      // The header cut at its id, inside its size field and right after it.
      for (const std::size_t cut : {b, b + 2, b + 6, b + 8, b + 12}) {
        if (cut >= seed.size()) continue;
        Run(name, "cut", std::vector<uint8_t>(seed.begin(), seed.begin() + std::ptrdiff_t(cut)));
      }
      // RIFF sizes follow the id (little-endian); JPEG lengths follow the marker (big-endian).
      v = seed;
      PutLE32(v, b + 4, kHugeLE32[0]);
      Run(name, "huge-le32", v);
      v = seed;
      PutBE16(v, b + 2, kHugeBE16[0]);
      Run(name, "huge-be16", v);
    }

    Random rng(0x514D58u ^ NameHash(name));
    for (std::size_t m = 0; m < mutations_; ++m) {
      v = seed;
      const std::size_t stack = 1 + rng.Below(4);
      for (std::size_t i = 0; i < stack; ++i) MutateOnce(v, boundaries, rng);
      Run(name, "random", v);
    }
  }

  std::size_t seeds() const { return seeds_; }
  std::size_t runs() const { return runs_; }

 private:
  void Run(const std::string& name, const char* kind, const std::vector<uint8_t>& input) {
    std::snprintf(gCrashName, sizeof gCrashName, "crash-%s-%s-%zu.bin", name.c_str(), kind, runs_);
    gCurrentData = input.data();
    gCurrentSize = input.size();
    LLVMFuzzerTestOneInput(input.data(), input.size());
    ++runs_;
  }

  std::size_t mutations_;
  std::size_t seeds_ = 0;
  std::size_t runs_ = 0;
};

int Usage() {
  std::fprintf(stderr, "usage: replay [--mutations N] SEED_FILE_OR_FOLDER...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t mutations = kDefaultMutations;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--mutations" && i + 1 < argc) {
      mutations = std::strtoull(argv[++i], nullptr, 10);
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      inputs.emplace_back(arg);
    }
  }
  if (const char* override = std::getenv("QMX_FUZZ_MUTATIONS"))
    mutations = std::strtoull(override, nullptr, 10);
  if (inputs.empty()) return Usage();

  for (const int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) ::signal(s, OnFatalSignal);
  if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(DumpCurrentInput);

  std::vector<fs::path> seeds;
  for (const fs::path& input : inputs) {
    std::error_code error;
    if (fs::is_directory(input, error)) {
      for (const auto& entry : fs::directory_iterator(input)) {
        if (entry.is_regular_file()) seeds.push_back(entry.path());
      }
    } else if (fs::is_regular_file(input, error)) {
      seeds.push_back(input);
    } else {
      std::fprintf(stderr, "replay: no seed file or folder %s\n", input.c_str());
      return 1;
    }
  }
  // An empty seed folder would pass while testing nothing.
  if (seeds.empty()) {
    std::fprintf(stderr, "replay: no seeds found\n");
    return 1;
  }
  std::sort(seeds.begin(), seeds.end());

  Replayer replayer(mutations);
  for (const fs::path& seed : seeds) replayer.Seed(seed);
  gCrashName[0] = '\0';
  std::printf("replay: %zu seeds, %zu runs, no failure\n", replayer.seeds(), replayer.runs());
  return 0;
}
