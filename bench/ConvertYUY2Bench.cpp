// YUY2 to ARGB at three frame sizes: the table-driven reference, the vector
// version and a plain memcpy of the output size, which bounds what any
// conversion writing that many bytes can reach. Every iteration works on the
// next of a rotating set of buffers well over the last-level cache, so the
// figures are those of main memory. After the usual table a summary prints the
// best rate of each and the ratios fast / memcpy and fast / reference.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "pixels/ConvertYUY2.h"

namespace {

constexpr std::size_t kRotationBytes = std::size_t{96} << 20;

struct Buffers {
  std::vector<std::uint8_t> source;
  std::vector<std::uint8_t> output;
};

// Enough source/output pairs to cover kRotationBytes, all pages touched.
std::vector<Buffers> RotatingBuffers(std::size_t sourceBytes, std::size_t outputBytes) {
  const std::size_t sets =
      std::max<std::size_t>(2, kRotationBytes / (sourceBytes + outputBytes) + 1);
  std::vector<Buffers> all(sets);
  std::mt19937 random(7);
  for (Buffers& b : all) {
    b.source.resize(sourceBytes);
    for (std::uint8_t& x : b.source)
      x = static_cast<std::uint8_t>(random());
    b.output.assign(outputBytes, 0);
  }
  return all;
}

using ConvertFunction = bool (*)(const std::uint8_t*, std::size_t, int, int, std::uint32_t*);

void RunConversion(benchmark::State& state, ConvertFunction convert) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  std::vector<Buffers> sets = RotatingBuffers(pixels * 2, pixels * 4);
  std::size_t next = 0;
  for (auto _ : state) {
    Buffers& b = sets[next];
    next = next + 1 == sets.size() ? 0 : next + 1;
    if (!convert(b.source.data(), b.source.size(), width, height,
                 reinterpret_cast<std::uint32_t*>(b.output.data()))) {
      state.SkipWithError("conversion refused the frame");
      break;
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pixels * 4));
}

void BM_Reference(benchmark::State& state) {
  RunConversion(state, varnholt::ConvertYUY2Reference);
}
void BM_Fast(benchmark::State& state) {
  RunConversion(state, varnholt::ConvertYUY2);
}

void BM_Memcpy(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0)) * state.range(1) * 4;
  std::vector<Buffers> sets = RotatingBuffers(bytes, bytes);
  std::size_t next = 0;
  for (auto _ : state) {
    Buffers& b = sets[next];
    next = next + 1 == sets.size() ? 0 : next + 1;
    std::memcpy(b.output.data(), b.source.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void FrameSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"w", "h"})->Args({640, 480})->Args({1280, 720})->Args({1920, 1080});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Reference)->Apply(FrameSizes);
BENCHMARK(BM_Fast)->Apply(FrameSizes);
BENCHMARK(BM_Memcpy)->Apply(FrameSizes);

// The console table plus, at the end, the best output rate per kind and size
// over all repetitions, and the ratios.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration)
        continue;
      const auto rate = run.counters.find("bytes_per_second");
      if (rate == run.counters.end())
        continue;
      // "BM_Fast/w:1920/h:1080" -> kind "BM_Fast", size "w:1920/h:1080".
      const std::string name = run.run_name.str();
      const std::size_t slash = name.find('/');
      const std::string size = name.substr(slash + 1);
      if (std::find(sizes_.begin(), sizes_.end(), size) == sizes_.end())
        sizes_.push_back(size);
      double& best = best_[size][name.substr(0, slash)];
      best = std::max(best, rate->second.value);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-16s %14s %14s %14s %14s %14s\n", "size", "reference GB/s", "fast GB/s",
                "memcpy GB/s", "fast/memcpy", "fast/reference");
    for (const std::string& size : sizes_) {
      std::map<std::string, double>& kinds = best_[size];
      const double reference = kinds["BM_Reference"] / 1e9;
      const double fast = kinds["BM_Fast"] / 1e9;
      const double copy = kinds["BM_Memcpy"] / 1e9;
      std::printf("%-16s %14.2f %14.2f %14.2f %14.2f %14.2f\n", size.c_str(), reference, fast, copy,
                  copy > 0 ? fast / copy : 0.0, reference > 0 ? fast / reference : 0.0);
    }
  }

 private:
  std::vector<std::string> sizes_;  // in the order first run
  std::map<std::string, std::map<std::string, double>> best_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
